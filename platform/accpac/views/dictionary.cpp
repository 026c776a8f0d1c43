#include "dictionary.h"

#include <QRegularExpression>

#include <memory>
#include <stdexcept>

namespace Accpac {

namespace {

// One line per view: ID, table, application, least version, store, fields, keys,
// compositions. Field syntax: NAME[=COLUMN]:TYPE[SIZE][flags], TYPE T text, S 16-bit,
// L 32-bit, D double, A date, B Boolean; flags * command field (not stored),
// ? read qualifier, # numbered on insert, ! kept by the engine (Update leaves it); then {min,max}
// (either may be left out) limits the values of a numeric field. Keys separated by "|",
// compositions by "|".
struct Line
{
    const char* id;
    const char* table;
    const char* application;
    const char* minVersion;
    Store store;
    const char* fields;
    const char* keys;
    const char* compositions;
};

constexpr const char* Generic = "UNIQ:L SEQ:L# TEXT:T60";

// clang-format off
const Line Lines[] = {
    // System: users, their authorisations per company and application, profile resources.
    {"AS0003", "USERS", "", "", Store::System,
     "USERID:T8 USERNAME:T60 DISABLED:S LOCKEDOUT:S ACCTSTATUS:S LANGUAGE:T3", "USERID", ""},
    {"AS0002", "AUTHS", "", "", Store::System,
     "USERID:T8 COMPANYID:T6 PGMID:T2 PROFILEID:T8", "USERID COMPANYID PGMID PROFILEID", ""},
    {"AS0001", "PROFRES", "", "", Store::System,
     "PGMID:T2 PROFILEID:T8 RESOURCEID:T12", "PGMID PROFILEID RESOURCEID", ""},

    // Accounts Receivable and bank master data.
    {"AR0012", "ARRTA", "AR", "", Store::Company,
     "PAYMCODE:T12 TEXTDESC:T60 ACTVSW:S? PAYMTYPE:S", "PAYMCODE", ""},
    {"AR0024", "ARCUS", "AR", "", Store::Company,
     "IDCUST:T12 NAMECUST:T60 SWACTV:S SWHOLD:S CODECURN:T3 AMTCRLIMT:D AMTBALDUET:D! IDGRP:T6 "
     "CODETERM:T6 TEXTSTRE1:T60 NAMECITY:T30 CODESTTE:T30 CODECTRY:T30 TEXTPHON1:T30 "
     "AMTOPENBAL:D!",
     "IDCUST|NAMECUST", ""},
    {"AR0400", "ARCUSO", "AR", "", Store::Company,
     "IDCUST:T12 OPTFIELD:T12 VALUE:T60 TYPE:S VALIFBOOL:B VALIFTEXT:T60 VALIFMONEY:D",
     "IDCUST OPTFIELD", ""},
    {"AR0041", "ARBTA", "AR", "", Store::Company,
     "CODEPYMTYP:T2 CNTBTCH:L# DATEBTCH:A BATCHDESC:T60 BATCHSTAT:S{0,9} IDBANK:T8 CODECURN:T3 "
     "RATETYPE:T2 RATEEXCHHC:D DATERATE:A CNTENTER:L! AMTENTER:D!",
     "CODEPYMTYP CNTBTCH|CODEPYMTYP BATCHSTAT CNTBTCH", ""},
    // Receipts entered in a batch (an invoice's prepayment puts one there).
    {"AR0042", "ARTCR", "AR", "", Store::Company,
     "CODEPYMTYP:T2 CNTBTCH:L CNTITEM:L# IDCUST:T12 IDRMIT:T22 DATERMIT:A AMTRMIT:D "
     "IDINVC:T22 RECPTYPE:T12 IDBANK:T8",
     "CODEPYMTYP CNTBTCH CNTITEM|IDCUST", ""},
    {"BK0001", "BKACCT", "", "", Store::Company,
     "BANK:T8 NAME:T60 INACTIVE:S? BANKACCT:T30 CURNSTMT:T3", "BANK", ""},

    // Order Entry master data, orders, shipments and invoices.
    {"OE0440", "OEMISC", "OE", "", Store::Company,
     "MISCCHARGE:T6 DESC:T60 AMOUNT:D CURRENCY:T3 GLACCT:T45", "MISCCHARGE", ""},
    {"OE0520", "OEORDH", "OE", "", Store::Company,
     "ORDUNIQ:L# ORDNUMBER:T22 CUSTOMER:T12 BILNAME:T60 TYPE:S{0,5} ONHOLD:S{0,1} "
     "COMPLETE:S{0,4} SHIPVIA:T6 "
     "SHIPTO:T6 LOCATION:T6 ORDDATE:A LASTINVNUM:T22! ORDTOTAL:D",
     "ORDUNIQ|ORDNUMBER|CUSTOMER ORDNUMBER",
     "OE0500 OE0680 OE0180 OE0740 OE0526 OE0522|OE0500 OE0999 OE0180 OE0740 OE0526 OE0522"},
    {"OE0500", "OEORDD", "OE", "", Store::Company,
     "ORDUNIQ:L LINENUM:L# LINETYPE:S{0,2} ITEM:T24 MISCCHARGE:T6 DESC:T60 LOCATION:T6 "
     "QTYORDERED:D{0,} QTYSHIPPED:D{0,} QTYBACKORD:D{0,} UNITPRICE:D EXTINVMISC:D "
     "COMPLETE:S{0,2}",
     "ORDUNIQ LINENUM",
     "OE0520 OE0501 OE0503 OE0502|OE0520 OE0501 OE0503 OE0502 OE0508 OE0507"},
    {"OE0692", "OESHIH", "OE", "", Store::Company,
     "SHIUNIQ:L# SHINUMBER:T22 ORDUNIQ:L ORDNUMBER:T22 CUSTOMER:T12 SHIDATE:A COMPLETE:S{0,4} "
     "SHINETWTX:D LOCATION:T6 INVUNIQ:L! INVNUMBER:T22!",
     "SHIUNIQ|SHINUMBER|ORDNUMBER",
     "OE0691 OE0682 OE0190 OE0745 OE0694 OE0704"},
    {"OE0691", "OESHID", "OE", "", Store::Company,
     "SHIUNIQ:L LINENUM:L# ORDUNIQ:L ORDLINENUM:L ITEM:T24 DESC:T60 QTYSHIPPED:D{0,} "
     "UNITPRICE:D EXTSHIMISC:D COMPLETE:S{0,2} ORDQTYORD:D{0,} ORDQTYBKOR:D{0,} "
     "ORDQTYCOMM:D{0,} ORDQTYSTD:D{0,} FINISHORD:S*{0,1}",
     "SHIUNIQ LINENUM",
     "OE0692 OE0697 OE0702 OE0705 OE0703"},
    {"OE0420", "OEINVH", "OE", "", Store::Company,
     "INVUNIQ:L# INVNUMBER:T22 CUSTOMER:T12 BILNAME:T60 INVDATE:A MULTISHI:S{0,1} "
     "INVSHIPMTS:S*{0,1} PROCESSCMD:S*{0,2} INSOURCURR:T3 INRATE:D{0,} INRATEDATE:A "
     "INRATETYPE:T2 INRATEREP:S{0,2} INVNETWTX:D "
     "DISCAVAIL:D INVDUE:D REBATCHNUM:L BANKRECTYP:T12 CHECKNUM:T22 BANKCODE:T8 "
     "BANKPAYMNT:D{0,} CHECKDATE:A APPLYTO:S{0,2} INVPAYMENT:D{0,} APPROVEBY:T8 "
     "APPPASSWRD:T64*$",
     "INVUNIQ|INVNUMBER",
     "OE0400 OE0660 OE0160 OE0720 OE0427 OE0422|OE0400 OE0999 OE0160 OE0720 OE0427 OE0422"},
    {"OE0400", "OEINVD", "OE", "", Store::Company,
     "INVUNIQ:L LINENUM:L# LINETYPE:S{0,2} ITEM:T24 MISCCHARGE:T6 DESC:T60 SHIUNIQ:L "
     "QTYINVC:D{0,} "
     "UNITPRICE:D EXTINVMISC:D",
     "INVUNIQ LINENUM",
     "OE0420 OE0401 OE0403 OE0402|OE0420 OE0401 OE0403 OE0402 OE0407 OE0406"},
    {"OE0427", "OEINVS", "OE", "", Store::Company,
     "INVUNIQ:L SHINUMBER:T22 SHIUNIQ:L SHIDATE:A", "INVUNIQ SHINUMBER", "OE0420"},
    {"OE0278", "OEPPAY", "OE", "", Store::Company,
     "INVUNIQ:L CUSTOMER:T12 CUSTDESC:T60 CUSTCURN:T3 CRATE:D CRATEDATE:A CRATETYPE:T2 "
     "CRATEOPER:S DOCTOTAL:D DISCAVAIL:D AMOUNTDUE:D BATCHNUM:L RECPDATE:A BANKRATE:D "
     "RATEDATE:A RATETYPE:T2 BANKCODE:T8 RECPTYPE:T12 CHECKNUM:T22 RECPAMOUNT:D{0,}",
     "INVUNIQ", ""},
    // Credit notes: each reverses one invoice, whose lines it carries (written by the header's
    // rules only; the caller gives the invoice number, and RELEASE 1 to release its shipments).
    {"OE0240", "OECRDH", "OE", "", Store::Company,
     "CRDUNIQ:L# CRDNUMBER:T22 INVUNIQ:L INVNUMBER:T22 CUSTOMER:T12 BILNAME:T60 CRDDATE:A "
     "INVDATE:A CRDNETWTX:D ONACCOUNT:D RELEASE:S*",
     "CRDUNIQ|CRDNUMBER|INVUNIQ", ""},
    {"OE0220", "OECRDD", "OE", "", Store::Company,
     "CRDUNIQ:L LINENUM:L# LINETYPE:S{0,2} ITEM:T24 MISCCHARGE:T6 DESC:T60 SHIUNIQ:L "
     "QTYCRDT:D{0,} UNITPRICE:D EXTCRDMISC:D",
     "CRDUNIQ LINENUM", ""},

    // The program's own: the journal of its decisions (see journal.h). Its records are
    // written by the journal's rules only; BODY holds a JSON object, INVUNIQ names the invoice
    // being entered that an entry goes with.
    {"TM0001", "TMJOURNAL", "", "", Store::Company,
     "SEQ:L KIND:T20 ENTRYTIME:T32 USERID:T8 BODY:T16000000 PREVHASH:T64 HASH:T64 INVUNIQ:L*",
     "SEQ", ""},

    // Views the layouts open and compose around the ones above.
    {"OE0660", "OE0660", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0420"},
    {"OE0160", "OE0160", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0420"},
    {"OE0720", "OE0720", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0420"},
    {"OE0422", "OE0422", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0420"},
    {"OE0401", "OE0401", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0400"},
    {"OE0402", "OE0402", "OE", "", Store::Company, Generic, "UNIQ SEQ",
     "OE0400 OE0404|OE0400 OE0404 OE0405"},
    {"OE0403", "OE0403", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0400"},
    {"OE0404", "OE0404", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0402"},
    {"OE0405", "OE0405", "OE", "56A", Store::Company, Generic, "UNIQ SEQ", "OE0402"},
    {"OE0406", "OE0406", "OE", "56A", Store::Company, Generic, "UNIQ SEQ", "OE0400"},
    {"OE0407", "OE0407", "OE", "56A", Store::Company, Generic, "UNIQ SEQ", "OE0400"},
    {"OE0999", "OE0999", "OE", "56A", Store::Company, Generic, "UNIQ SEQ", ""},
    {"OE0740", "OE0740", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0520"},
    {"OE0180", "OE0180", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0520 OE0500"},
    {"OE0680", "OE0680", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0520 OE0500"},
    {"OE0526", "OE0526", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0520"},
    {"OE0522", "OE0522", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0520"},
    {"OE0501", "OE0501", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0500"},
    {"OE0502", "OE0502", "OE", "", Store::Company, Generic, "UNIQ SEQ",
     "OE0500 OE0504|OE0500 OE0504 OE0504"},
    {"OE0503", "OE0503", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0500"},
    {"OE0504", "OE0504", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0502"},
    {"OE0507", "OE0507", "OE", "56A", Store::Company, Generic, "UNIQ SEQ", "OE0500"},
    {"OE0508", "OE0508", "OE", "56A", Store::Company, Generic, "UNIQ SEQ", ""},
    {"OE0682", "OE0682", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0692 OE0691"},
    {"OE0190", "OE0190", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0692 OE0691"},
    {"OE0745", "OE0745", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0692"},
    {"OE0694", "OE0694", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0692"},
    {"OE0704", "OE0704", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0692"},
    {"OE0697", "OE0697", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0698 OE0699"},
    {"OE0698", "OE0698", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0697"},
    {"OE0699", "OE0699", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0697"},
    {"OE0702", "OE0702", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0691"},
    {"OE0705", "OE0705", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0691"},
    {"OE0703", "OE0703", "OE", "", Store::Company, Generic, "UNIQ SEQ",
     "OE0691 OE0706 OE0699"},
    {"OE0706", "OE0706", "OE", "", Store::Company, Generic, "UNIQ SEQ", "OE0703"},
};
// clang-format on

FieldDef parseField(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^([A-Z0-9]+)(?:=([A-Z0-9]+))?:([TSLDAB])(\\d*)([*?#!$]*)(?:\\{([-0-9.]*),([-"
        "0-9.]*)\\})?$"));
    const auto m = pattern.match(text);
    if (!m.hasMatch())
        throw std::logic_error("bad field in the data dictionary: " + text.toStdString());
    FieldDef f;
    f.name = m.captured(1);
    f.column = m.captured(2).isEmpty() ? f.name : m.captured(2);
    switch (m.captured(3).at(0).toLatin1()) {
    case 'T':
        f.type = FieldType::Text;
        break;
    case 'S':
        f.type = FieldType::Int16;
        break;
    case 'L':
        f.type = FieldType::Int32;
        break;
    case 'D':
        f.type = FieldType::Double;
        break;
    case 'A':
        f.type = FieldType::Date;
        break;
    default:
        f.type = FieldType::Bool;
        break;
    }
    f.size = m.captured(4).toInt();
    const QString flags = m.captured(5);
    f.stored = !flags.contains(u'*');
    f.qualifier = flags.contains(u'?');
    f.autoNumber = flags.contains(u'#');
    f.engineKept = flags.contains(u'!');
    f.secret = flags.contains(u'$');
    if (!m.captured(6).isEmpty())
        f.minimum = m.captured(6).toDouble();
    if (!m.captured(7).isEmpty())
        f.maximum = m.captured(7).toDouble();
    return f;
}

void prepareReadTexts(ViewDef& def)
{
    def.selectFrom = "SELECT " + def.selectList + " FROM \"" + def.table.toLatin1() + '"';
    for (const std::vector<int>& order : def.orders) {
        QByteArray columns, placeholders, ascending, descending;
        for (int i : order) {
            const QByteArray column = '"' + def.fields[i].column.toLatin1() + '"';
            const char* separator = columns.isEmpty() ? "" : ",";
            columns += separator + column;
            placeholders += separator + QByteArray("?");
            ascending += separator + column;
            descending += separator + column + " DESC";
        }
        def.orderColumns.push_back(columns);
        def.orderPlaceholders.push_back(placeholders);
        def.orderBy.push_back(" ORDER BY " + ascending);
        def.orderByDescending.push_back(" ORDER BY " + descending);
    }
}

std::unique_ptr<ViewDef> build(const Line& line, const QString& fieldsOverride = {})
{
    auto def = std::make_unique<ViewDef>();
    def->id = QString::fromLatin1(line.id);
    def->table = QString::fromLatin1(line.table);
    def->application = QString::fromLatin1(line.application);
    def->minVersion = QString::fromLatin1(line.minVersion);
    def->store = line.store;
    const QString fields =
        fieldsOverride.isEmpty() ? QString::fromLatin1(line.fields) : fieldsOverride;
    for (const QString& field : fields.split(u' ', Qt::SkipEmptyParts)) {
        def->index.insert(field.section(u':', 0, 0).section(u'=', 0, 0), int(def->fields.size()));
        def->fields.push_back(parseField(field));
    }
    for (const QString& key : QString::fromLatin1(line.keys).split(u'|')) {
        std::vector<int> k;
        for (const QString& name : key.split(u' ', Qt::SkipEmptyParts)) {
            const int i = def->fieldIndex(name);
            if (i < 0)
                throw std::logic_error("bad key field " + name.toStdString());
            k.push_back(i);
        }
        def->keys.push_back(std::move(k));
    }
    for (const auto& key : def->keys) {
        std::vector<int> order = key;
        for (int i : def->keys.front())
            if (std::find(order.begin(), order.end(), i) == order.end())
                order.push_back(i);
        def->orders.push_back(std::move(order));
    }
    const QString compositions = QString::fromLatin1(line.compositions);
    if (!compositions.isEmpty())
        for (const QString& set : compositions.split(u'|'))
            def->compositions.push_back(set.split(u' ', Qt::SkipEmptyParts));
    def->selectList = QByteArray("\"") + RowKeyColumn + '"';
    for (int i = 0; i < int(def->fields.size()); ++i) {
        if (!def->fields[i].stored)
            continue;
        def->storedFields.push_back(i);
        if (!def->fields[i].engineKept)
            def->updatableFields.push_back(i);
        def->selectList += ",\"" + def->fields[i].column.toLatin1() + '"';
    }
    prepareReadTexts(*def);
    return def;
}

struct Dictionary
{
    QHash<QString, const ViewDef*> views;
    const ViewDef* olderReceiptTypes = nullptr;
    std::vector<std::unique_ptr<ViewDef>> owned;

    Dictionary()
    {
        for (const Line& line : Lines) {
            owned.push_back(build(line));
            views.insert(owned.back()->id, owned.back().get());
        }
        // Before AR 5.4 the receipt type code was called CODPAYMTYP (same column).
        const Line older = {"AR0012", "ARRTA", "AR", "", Store::Company, "", "CODPAYMTYP", ""};
        owned.push_back(build(
            older, QStringLiteral("CODPAYMTYP=PAYMCODE:T12 TEXTDESC:T60 ACTVSW:S? PAYMTYPE:S")));
        olderReceiptTypes = owned.back().get();
    }
};

const Dictionary& dictionary()
{
    static const Dictionary d;
    return d;
}

} // namespace

const ViewDef* findView(const QString& viewId, const QString& arVersion)
{
    const Dictionary& d = dictionary();
    const ViewDef* def = d.views.value(viewId);
    if (def && def->id == QLatin1String("AR0012") && arVersion < QLatin1String("54A"))
        return d.olderReceiptTypes;
    return def;
}

std::vector<const ViewDef*> allTables()
{
    std::vector<const ViewDef*> result;
    for (const auto& def : dictionary().owned)
        if (def.get() != dictionary().olderReceiptTypes)
            result.push_back(def.get());
    return result;
}

bool isKnownViewId(const QString& viewId)
{
    return dictionary().views.contains(viewId);
}

QByteArray quoted(const QString& name)
{
    return '"' + QString(name).replace(u'"', QLatin1String("\"\"")).toUtf8() + '"';
}

} // namespace Accpac
