#include "JsonList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <utility>

namespace NameList::Json {
namespace {

// The members of an object as written: each key, decoded, and its value's text.
using Members = std::vector<std::pair<QString, QByteArray>>;

// Where the string that opens at json[at] closes.
qsizetype stringEnd(const QByteArray &json, qsizetype at)
{
    for (++at; at < json.size() && json.at(at) != '"'; ++at)
        if (json.at(at) == '\\')
            ++at;
    return at;
}

QString decodedString(const QByteArray &literal)
{
    return QJsonDocument::fromJson('[' + literal + ']').array().at(0).toString();
}

// The members of each object in the top-level array of a document that
// QJsonDocument has accepted, by position; what QJsonObject hides: keys
// given twice and numbers as they are written.
std::vector<Members> membersOf(const QByteArray &json)
{
    std::vector<Members> objects;
    int depth = 0;
    bool inObject = false, expectKey = false;
    qsizetype valueStart = -1;
    QString key;
    const auto endValue = [&](qsizetype at) {
        if (valueStart >= 0)
            objects.back().emplace_back(key, json.mid(valueStart, at - valueStart).trimmed());
        valueStart = -1;
    };
    for (qsizetype at = 0; at < json.size(); ++at) {
        const char c = json.at(at);
        if (c == '"') {
            const qsizetype end = stringEnd(json, at);
            if (inObject && depth == 2 && expectKey) {
                key = decodedString(json.mid(at, end - at + 1));
                expectKey = false;
            }
            at = end;
        } else if (c == '[' || c == '{') {
            if (++depth == 1)
                objects.emplace_back();
            if (depth == 2)
                inObject = expectKey = c == '{';
        } else if (c == ']' || c == '}') {
            if (depth-- == 2 && inObject)
                endValue(at);
        } else if (depth == 1 && c == ',') {
            objects.emplace_back();
        } else if (inObject && depth == 2 && c == ':') {
            valueStart = at + 1;
        } else if (inObject && depth == 2 && c == ',') {
            endValue(at);
            expectKey = true;
        }
    }
    return objects;
}

} // namespace

QByteArray write(const std::vector<Row> &rows)
{
    QJsonArray array;
    for (const Row &row : rows) {
        array.append(QJsonObject{
            {QStringLiteral("category"), QString::fromLatin1(row.table->name)},
            {QStringLiteral("index"), row.index},
            {QStringLiteral("leadingByte"), row.table->hasLeadingByte ? QJsonValue(leadingText(row)) : QJsonValue()},
            {QStringLiteral("name"), row.name},
            {QStringLiteral("bytes"), hexColumn(row.field, row.table->nameLength)},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

Request read(const QByteArray &json)
{
    Request request;
    request.byPosition = true;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        request.unreadable =
            QStringLiteral("not valid JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset);
        return request;
    }
    if (!document.isArray()) {
        request.unreadable = QStringLiteral("not a JSON array of names");
        return request;
    }
    const std::vector<Members> written = membersOf(json);
    // Digits, and at most a fraction of zeros: a whole number as written.
    static const QRegularExpression whole(QStringLiteral("^([0-9]+)(\\.0+)?$"));
    Collector collector(request);
    const QJsonArray array = document.array();
    for (qsizetype n = 0; n < array.size(); ++n) {
        const int position = int(n + 1);
        const QJsonObject object = array.at(n).toObject();
        const QJsonValue category = object.value(QLatin1String("category"));
        const QJsonValue name = object.value(QLatin1String("name"));
        if (!array.at(n).isObject() || !category.isString() || !object.value(QLatin1String("index")).isDouble()
            || !name.isString()) {
            collector.refuse(position, QStringLiteral("Expected an object with a category, an index and a name."));
            continue;
        }
        const Members &members = written.at(std::size_t(n));
        QStringList keys;
        QString twice, indexText;
        for (const auto &[key, value] : members) {
            if (keys.contains(key) && twice.isEmpty())
                twice = key;
            keys += key;
            if (key == u"index")
                indexText = QString::fromUtf8(value);
        }
        if (!twice.isEmpty()) {
            collector.refuse(position, QStringLiteral("The key \"%1\" is given twice.").arg(twice));
            continue;
        }
        const QRegularExpressionMatch number = whole.match(indexText);
        collector.add(position, category.toString(), number.hasMatch() ? number.captured(1) : indexText,
                      name.toString());
    }
    return request;
}

} // namespace NameList::Json
