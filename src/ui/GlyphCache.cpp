#include "ui/GlyphCache.h"

#include "platform/Folders.h"
#include "platform/Lifetime.h"


#include <memory>

GlyphCache& GlyphCache::shared()
{
    static platform::Shared<GlyphCache> cache([] { return new GlyphCache; });
    return cache.get();
}

GlyphImagePtr GlyphCache::tile(const QString& key) const
{
    return tiles_.value(key);
}

void GlyphCache::storeTile(const QString& key, GlyphImagePtr image)
{
    if (tiles_.size() >= tileLimit)
        tiles_.clear();
    tiles_.insert(key, std::move(image));
}

QImage GlyphCache::picture(const QString& fileName) const
{
    return pictures_.value(fileName);
}

void GlyphCache::storePicture(const QString& fileName, const QImage& picture)
{
    pictures_.insert(fileName, picture);
}

const QString& GlyphCache::iconsFolder()
{
    if (iconsFolder_.isEmpty()) {
        iconsFolder_ = platform::Folders::applicationSupport() + QStringLiteral("/Tessaroom/icons");
        (void)platform::Folders::make(iconsFolder_);
    }
    return iconsFolder_;
}
