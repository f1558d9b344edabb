#include "DataPacket.h"

#include <QLocale>
#include <QXmlStreamWriter>

#include <cmath>

namespace zor {

namespace {

QString packetValue(TFieldType type, const Variant &v)
{
    switch (type) {
    case ftBoolean: return VarToBool(v) ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case ftInteger:
    case ftLargeint: return QString::number(VarToInt64(v));
    case ftFloat:
    case ftCurrency: {
        const double d = VarToDouble(v);
        return std::isfinite(d) ? QString::number(d, 'g', QLocale::FloatingPointShortest) : QString();
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
        if (v.BaseType() != varDate)
            return VarToStr(v); // a stored text that is no date stays as it is
        const TDateTime dt = v.RawDouble();
        int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
        DecodeDateTime(dt, y, mo, d, h, mi, s, ms);
        const QString date = QStringLiteral("%1%2%3").arg(y, 4, 10, QLatin1Char('0')).arg(mo, 2, 10, QLatin1Char('0')).arg(d, 2, 10, QLatin1Char('0'));
        const QString time = QStringLiteral("%1:%2:%3%4")
                                 .arg(h, 2, 10, QLatin1Char('0'))
                                 .arg(mi, 2, 10, QLatin1Char('0'))
                                 .arg(s, 2, 10, QLatin1Char('0'))
                                 .arg(ms, 3, 10, QLatin1Char('0'));
        if (type == ftDate)
            return date;
        if (type == ftTime)
            return time;
        return date + u'T' + time;
    }
    case ftBlob: return QString::fromLatin1(VarArrayToBytes(v).toBase64());
    default: return VarToStr(v);
    }
}

} // namespace

QString PacketFieldType(TFieldType AType)
{
    switch (AType) {
    case ftInteger: return QStringLiteral("i4");
    case ftLargeint: return QStringLiteral("i8");
    case ftBoolean: return QStringLiteral("boolean");
    case ftFloat:
    case ftCurrency: return QStringLiteral("r8");
    case ftDate: return QStringLiteral("date");
    case ftTime: return QStringLiteral("time");
    case ftDateTime: return QStringLiteral("dateTime");
    case ftBlob:
    case ftMemo: return QStringLiteral("bin.hex");
    default: return QStringLiteral("string");
    }
}

QString DataSetToXmlPacket(const TDataSet *ADataSet)
{
    ADataSet->CheckActive();
    QString out;
    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("DATAPACKET"));
    w.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
    w.writeStartElement(QStringLiteral("METADATA"));
    w.writeStartElement(QStringLiteral("FIELDS"));
    const TFields *fields = ADataSet->Fields();
    const int count = fields->Count();
    QStringList names;
    for (int i = 0; i < count; ++i) {
        const TField *f = fields->Fields(i);
        names << f->FieldName().toUpper();
        w.writeEmptyElement(QStringLiteral("FIELD"));
        w.writeAttribute(QStringLiteral("attrname"), names.last());
        w.writeAttribute(QStringLiteral("fieldtype"), PacketFieldType(f->DataType()));
        if (f->DataType() == ftBlob)
            w.writeAttribute(QStringLiteral("SUBTYPE"), QStringLiteral("Binary"));
        else if (f->DataType() == ftMemo)
            w.writeAttribute(QStringLiteral("SUBTYPE"), QStringLiteral("Text"));
        else if (f->DataType() == ftCurrency)
            w.writeAttribute(QStringLiteral("SUBTYPE"), QStringLiteral("Money"));
        if ((f->DataType() == ftString) && f->Size() > 0)
            w.writeAttribute(QStringLiteral("WIDTH"), QString::number(f->Size()));
    }
    w.writeEndElement(); // FIELDS
    w.writeEmptyElement(QStringLiteral("PARAMS"));
    w.writeEndElement(); // METADATA
    w.writeStartElement(QStringLiteral("ROWDATA"));
    const int rows = ADataSet->RecordCount();
    for (int r = 0; r < rows; ++r) {
        w.writeEmptyElement(QStringLiteral("ROW"));
        for (int i = 0; i < count; ++i) {
            const Variant v = ADataSet->RecordValue(r, i);
            if (v.IsNull() || v.IsEmpty())
                continue;
            w.writeAttribute(names[i], packetValue(fields->Fields(i)->DataType(), v));
        }
    }
    w.writeEndElement(); // ROWDATA
    w.writeEndElement(); // DATAPACKET
    w.writeEndDocument();
    return out;
}

} // namespace zor
