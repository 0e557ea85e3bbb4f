#include "platform/CodeSignatureRequirement.h"

#include <QJsonArray>

#include <algorithm>

namespace platform::CodeSignature {

namespace {

bool satisfies(const QJsonObject& fields, const Requirement::Clause& clause)
{
    const QString team = fields.value(QLatin1String("team")).toString();
    switch (clause.kind) {
    case Requirement::Clause::Kind::anchor: {
        const QByteArray key = QByteArray::fromBase64(fields.value(QLatin1String("key")).toString().toLatin1());
        const auto pinned = pinnedKey(team);
        return fields.value(QLatin1String("anchor")).toString() == clause.value && pinned && *pinned == key;
    }
    case Requirement::Clause::Kind::certificateField: {
        const QJsonArray oids = fields.value(QLatin1String("certificates")).toObject().value(clause.slot).toArray();
        return oids.contains(clause.value);
    }
    case Requirement::Clause::Kind::certificateTeam:
        return clause.slot == QLatin1String("leaf") && team == clause.value;
    }
    return false;
}

// Words and quoted strings of a requirement text.
std::optional<QStringList> tokens(const QString& text)
{
    QStringList result;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i].isSpace()) {
            ++i;
            continue;
        }
        if (text[i] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                return std::nullopt;
            result.append(text.mid(i, close - i + 1));
            i = close + 1;
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !text[end].isSpace() && text[end] != QLatin1Char('"'))
            ++end;
        result.append(text.mid(i, end - i));
        i = end;
    }
    return result;
}

// "leaf[field.1.2.3]" -> slot "leaf", key "field.1.2.3".
std::optional<std::pair<QString, QString>> slotAndKey(const QString& token)
{
    const qsizetype open = token.indexOf(QLatin1Char('['));
    if (open <= 0 || !token.endsWith(QLatin1Char(']')))
        return std::nullopt;
    const QString slot = token.left(open);
    bool number = false;
    slot.toInt(&number);
    if (!number && slot != QLatin1String("leaf") && slot != QLatin1String("root"))
        return std::nullopt;
    return std::make_pair(slot, token.mid(open + 1, token.size() - open - 2));
}

} // namespace

std::optional<Requirement> parseRequirement(const QString& text)
{
    const auto words = tokens(text);
    if (!words || words->isEmpty())
        return std::nullopt;
    Requirement requirement;
    qsizetype i = 0;
    const auto word = [&](qsizetype at) { return at < words->size() ? words->at(at) : QString(); };
    while (true) {
        Requirement::Clause clause;
        if (word(i) == QLatin1String("anchor") && word(i + 1) == QLatin1String("apple")
            && word(i + 2) == QLatin1String("generic")) {
            clause.value = QStringLiteral("apple generic");
            i += 3;
        } else if (word(i) == QLatin1String("certificate")) {
            const auto slot = slotAndKey(word(i + 1));
            if (!slot)
                return std::nullopt;
            clause.slot = slot->first;
            if (slot->second.startsWith(QLatin1String("field.")) && word(i + 2) != QLatin1String("=")) {
                clause.kind = Requirement::Clause::Kind::certificateField;
                clause.value = slot->second.mid(6);
                if (clause.value.isEmpty())
                    return std::nullopt;
                i += 2;
            } else if (slot->second == QLatin1String("subject.OU") && word(i + 2) == QLatin1String("=")
                       && word(i + 3).size() >= 2 && word(i + 3).startsWith(QLatin1Char('"'))) {
                clause.kind = Requirement::Clause::Kind::certificateTeam;
                clause.value = word(i + 3).mid(1, word(i + 3).size() - 2);
                i += 4;
            } else {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
        requirement.clauses.push_back(clause);
        if (i == words->size())
            return requirement;
        if (word(i) != QLatin1String("and"))
            return std::nullopt;
        ++i;
    }
}

bool meets(const QJsonObject& fields, const Requirement* requirement)
{
    if (!requirement)
        return true;
    return std::all_of(requirement->clauses.begin(), requirement->clauses.end(),
                       [&](const Requirement::Clause& clause) { return satisfies(fields, clause); });
}

} // namespace platform::CodeSignature
