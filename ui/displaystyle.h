#pragma once
// The bank and number displays of both windows: the first 26 banks show their
// letter white on dark grey, the second 26 black on light grey.

namespace DisplayStyle {

constexpr const char* kDark = "background-color: rgb(55, 55, 55);\ncolor: rgb(255, 255, 255);";
constexpr const char* kLight = "background-color: rgb(200, 200, 200);\ncolor: rgb(0, 0, 0);";

}  // namespace DisplayStyle
