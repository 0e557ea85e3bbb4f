#pragma once

#include "platform/PreferenceDomain.h"
#include "store/SpaceMetaDocument.h"
#include "store/SpaceStore.h"

#include <QByteArray>

#include <optional>

// What the names store holds on disk, read the way a new process reads it
// (the caller re-reads the domain first where another process wrote it).

inline std::optional<QByteArray> storedNamesDocument()
{
    return platform::PreferenceDomain::standard().data(SpaceStore::documentKey);
}

// One desktop's stored metadata; empty when none is stored or the document
// cannot be read.
inline SpaceMeta storedMeta(qint64 managedID)
{
    const auto document = storedNamesDocument();
    if (!document)
        return SpaceMeta::empty();
    const auto decoded = SpaceMetaDocument::decode(*document);
    if (!decoded)
        return SpaceMeta::empty();
    const auto found = decoded.value().find(managedID);
    return found == decoded.value().end() ? SpaceMeta::empty() : found->second;
}
