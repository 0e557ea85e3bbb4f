#include "settings/CopyDiagnosticsButton.h"

#include "store/Timers.h"
#include "ui/AppCommands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>

CopyDiagnosticsButton::CopyDiagnosticsButton(const QString& title, QWidget* parent)
    : AccentButton(title, false, parent)
    , title_(title)
{
    setObjectName(QStringLiteral("copyDiagnosticsButton"));
    connect(this, &QAbstractButton::clicked, this, &CopyDiagnosticsButton::copy);
}

void CopyDiagnosticsButton::copy()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(AppEnvironment::commands(this).diagnosticsText());
    setCopied(true);
    QPointer<CopyDiagnosticsButton> weak(this);
    runAfter(copiedSeconds, [weak] {
        if (weak)
            weak->setCopied(false);
    });
}

void CopyDiagnosticsButton::setCopied(bool copied)
{
    copied_ = copied;
    setText(copied ? QStringLiteral("Copied") : title_);
    updateGeometry();
    update();
}
