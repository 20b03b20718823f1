#include "support/hubharness.h"

#include "app/globals.h"
#include "core/minicore.h"
#include "core/signalwiring.h"
#include "midi/receivecallback.h"
#include "support/tracecapture.h"
#include "ui/editwindow.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDialog>
#include <QMetaMethod>

#include <vector>

HubHarness::HubHarness()
    : mainWindow_(std::make_unique<MainWindow>()),
      editWindow_(std::make_unique<EditWindow>()),
      hub_(new MiniCore(editWindow_.get())),
      wiring_(std::make_unique<SignalWiring>(mainWindow_.get(), hub_))
{
    g_editWindow = editWindow_.get();
    g_miniCore = hub_;
    g_wiring.store(wiring_.get());
}

HubHarness::~HubHarness()
{
    g_wiring.store(nullptr);
    g_miniCore = nullptr;
    g_editWindow = nullptr;
    g_mainWindow = nullptr;
}

void HubHarness::deliver(const QByteArray& message)
{
    std::vector<unsigned char> bytes(message.begin(), message.end());
    receiveCallback(0.0, &bytes, nullptr);
}

void HubHarness::rejectVisibleDialogs()
{
    for (QWidget* const window : QApplication::topLevelWidgets()) {
        auto* const dialog = qobject_cast<QDialog*>(window);
        if (dialog && dialog->isVisible())
            dialog->reject();
    }
}

HubSignalLog::HubSignalLog(MiniCore& hub)
{
    const QMetaObject& meta = MiniCore::staticMetaObject;
    const QMetaMethod recorder = metaObject()->method(metaObject()->indexOfSlot("record()"));
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod signal = meta.method(i);
        if (signal.methodType() == QMetaMethod::Signal && !signal.name().startsWith("SignalDisplay"))
            connect(&hub, signal, this, recorder, Qt::DirectConnection);
    }
}

void HubSignalLog::record()
{
    names.append(QString::fromLatin1(sender()->metaObject()->method(senderSignalIndex()).name()));
}

QByteArray deviceFrame(const char* bodyHex)
{
    return hexBytes("F0 7E 10 07 02") + hexBytes(bodyHex) + hexBytes("F7");
}

QList<QByteArray> deviceFrames(const QStringList& bodiesHex)
{
    QList<QByteArray> frames;
    for (const QString& body : bodiesHex)
        frames.append(deviceFrame(qPrintable(body)));
    return frames;
}
