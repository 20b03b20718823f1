#pragma once
// The compiled-in pictures. They live in the static library, whose resource
// registration is not pulled in by the linker on its own.

namespace Artwork {

void registerResources();

constexpr const char* kPanel = ":/new/prefix1/FileVari/ZANDORIUMLAYOUT.png";
constexpr const char* kLedOn = ":/new/prefix1/FileVari/LEDbluON.png";
constexpr const char* kLedOff = ":/new/prefix1/FileVari/LEDbluOFF.png";
constexpr const char* kSwitchOn = ":/new/prefix1/FileVari/OnSwt60x60.png";
constexpr const char* kSwitchOff = ":/new/prefix1/FileVari/OffSwt60x60.png";
constexpr const char* kSwitchOnRed = ":/new/prefix1/FileVari/OnSwtRosso60x60.png";
constexpr const char* kMetalBar = ":/new/prefix1/FileVari/BarraMetallo.png";
constexpr const char* kExit = ":/new/prefix1/FileVari/Exit.png";
constexpr const char* kDone = ":/new/prefix1/FileVari/fatto.png";
constexpr const char* kLogo = ":/new/prefix1/FileVari/Logo.png";

}  // namespace Artwork
