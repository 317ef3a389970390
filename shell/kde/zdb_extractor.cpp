#include "zdb_extractor.h"

#include "zelshell_query.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>

using KFileMetaData::ExtractionResult;
namespace Property = KFileMetaData::Property;

namespace {

// A tooltip that waits longer than this is worse than none.
constexpr int kAnswerTimeMs = 3000;

void add_text(ExtractionResult* result, Property::Property property, const QString& text) {
    if (!text.isEmpty()) {
        result->add(property, text);
    }
}

// The tip's lines after System and Credit To, with plain line ends.
QString tip_from_version_on(const QString& tip) {
    const QStringList lines = tip.split(QRegularExpression(QStringLiteral("\r?\n")));
    return lines.mid(2).join(QLatin1Char('\n')).trimmed();
}

void add_tip(ExtractionResult* result, const QJsonObject& tip) {
    add_text(result, Property::Title, tip.value(QLatin1String("system")).toString());
    add_text(result, Property::Author, tip.value(QLatin1String("credit")).toString());
    add_text(result, Property::Description,
             tip_from_version_on(tip.value(QLatin1String("tip")).toString()));
}

void add_count(ExtractionResult* result, const QJsonObject& properties) {
    const int count = properties.value(QLatin1String("count")).toInt();
    if (count > 0) {
        result->add(Property::LineCount, count);
    }
}

} // namespace

ZdbExtractor::ZdbExtractor(QObject* parent) : ExtractorPlugin(parent) {}

QStringList ZdbExtractor::mimetypes() const {
    return {QStringLiteral("application/x-zelkon-zdb")};
}

void ZdbExtractor::extract(ExtractionResult* result) {
    if (!(result->inputFlags() & ExtractionResult::ExtractMetaData)) {
        return;
    }
    // An absolute path never reads as one of zelshell's options.
    const QString file = QFileInfo(result->inputUrl()).absoluteFilePath();
    ZelshellQuery tip(QStringLiteral("tip"), file);
    ZelshellQuery properties(QStringLiteral("properties"), file);
    const QDeadlineTimer deadline(kAnswerTimeMs);
    add_tip(result, tip.result(deadline));
    add_count(result, properties.result(deadline));
}
