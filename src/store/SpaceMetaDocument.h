#pragma once

#include "store/Result.h"
#include "store/SpaceMeta.h"

#include <QByteArray>

#include <map>

// Metadata of every customized desktop, keyed by managed space id.
using SpaceMetaMap = std::map<qint64, SpaceMeta>;

// The stored document "Tessaroom.meta.v2": one JSON object whose member names
// are managed space ids in decimal and whose values are SpaceMeta objects.
namespace SpaceMetaDocument {

// Fails as a whole, with a description, when the bytes are not a JSON object,
// a member name is not a decimal 64-bit integer or appears twice in one object
// (at the top or inside an entry), or any entry is unreadable.
Result<SpaceMetaMap> decode(const QByteArray& data);

// Compact JSON. Fails when a tracked time is not finite, which JSON cannot
// hold; nothing is written then.
Result<QByteArray> encode(const SpaceMetaMap& entries);

} // namespace SpaceMetaDocument
