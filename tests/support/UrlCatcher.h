#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

// Takes the links of one scheme that the app asks the desktop to open
// (QDesktopServices::openUrl), so a test sees them and nothing is opened.
class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString& scheme);
    ~UrlCatcher() override;

    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }

private:
    QString scheme_;
};
