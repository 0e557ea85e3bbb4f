#include "support/UrlCatcher.h"

#include <QDesktopServices>

UrlCatcher::UrlCatcher(const QString& scheme)
    : scheme_(scheme)
{
    QDesktopServices::setUrlHandler(scheme_, this, "open");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler(scheme_);
}
