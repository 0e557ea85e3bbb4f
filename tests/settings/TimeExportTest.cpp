#include "settings/TimeExport.h"
#include "platform/AtomicFile.h"
#include "support/PlatformTest.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <clocale>
#include <cstdio>
#include <cmath>
#include <limits>
#include <optional>

namespace {

class TimeExportTest : public PlatformTest {
protected:
    ~TimeExportTest() override
    {
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_ALL, "C");
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

// A strict reader of RFC 4180 text (LF or CRLF record ends): none when the
// text breaks the grammar (a quote inside an unquoted field, text after a
// closing quote, an unterminated quoted field, a record not ended by a break).
std::optional<QList<QStringList>> readRfc4180(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    QList<QStringList> records;
    QStringList record;
    QString field;
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool atFieldStart = true;
    while (i < n) {
        const QChar c = text[i];
        if (atFieldStart && c == QLatin1Char('"')) {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == QLatin1Char('"')) {
                    if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                field += text[i++];
            }
            if (!closed)
                return std::nullopt;
            if (i < n && text[i] != QLatin1Char(',') && text[i] != QLatin1Char('\n') && text[i] != QLatin1Char('\r'))
                return std::nullopt;
            atFieldStart = false;
            continue;
        }
        if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
            atFieldStart = true;
            ++i;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r')) {
                if (i + 1 >= n || text[i + 1] != QLatin1Char('\n'))
                    return std::nullopt;
                ++i;
            }
            record << field;
            records << record;
            record.clear();
            field.clear();
            atFieldStart = true;
            ++i;
        } else if (c == QLatin1Char('"')) {
            return std::nullopt;
        } else {
            field += c;
            atFieldStart = false;
            ++i;
        }
    }
    if (!record.isEmpty() || !field.isEmpty() || !atFieldStart)
        return std::nullopt;
    return records;
}

} // namespace

// --- text --------------------------------------------------------------------

TEST_F(TimeExportTest, HeaderThenOneLinePerDesktopWithExactNumberForms)
{
    const QByteArray text = TimeExport::csv({
        {1, "Code", 3725.9},
        {2, "Desktop 2", 0},
        {3, "Mail \"work\"", 5400},
    });
    EXPECT_EQ(text, QByteArray("desktop,name,seconds,hours\n"
                               "1,\"Code\",3725,1.03\n"
                               "2,\"Desktop 2\",0,0.00\n"
                               "3,\"Mail \"\"work\"\"\",5400,1.50\n"));
}

TEST_F(TimeExportTest, NoDesktopsGiveTheHeaderLineAlone)
{
    EXPECT_EQ(TimeExport::csv({}), QByteArray("desktop,name,seconds,hours\n"));
}

TEST_F(TimeExportTest, SecondsAreTruncatedAndHoursRounded)
{
    EXPECT_EQ(TimeExport::secondsText(59.9), "59");
    EXPECT_EQ(TimeExport::hoursText(59.9), "0.02");
    EXPECT_EQ(TimeExport::secondsText(1e9 + 0.99), "1000000000");
    EXPECT_EQ(TimeExport::hoursText(1e9), "277777.78");
    // Nothing stored is ever negative; a bad value still writes a number.
    EXPECT_EQ(TimeExport::secondsText(-5), "0");
    EXPECT_EQ(TimeExport::secondsText(std::numeric_limits<double>::quiet_NaN()), "0");
    EXPECT_EQ(TimeExport::hoursText(std::numeric_limits<double>::infinity()), "0.00");
}

TEST_F(TimeExportTest, SecondsOfTwoToTheSixtyThreeOrMoreAreClamped)
{
    const QByteArray largest = "9223372036854775807";
    EXPECT_EQ(TimeExport::secondsText(9223372036854775808.0), largest);
    EXPECT_EQ(TimeExport::secondsText(1e19), largest);
    EXPECT_EQ(TimeExport::secondsText(std::numeric_limits<double>::max()), largest);
    // The largest double below 2^63 still converts exactly.
    EXPECT_EQ(TimeExport::secondsText(9223372036854774784.0), "9223372036854774784");
}

TEST_F(TimeExportTest, HoursOnExactTiesRoundAsPrintfDoes)
{
    // 0.125, 0.625 and 1.125 hours are exact in binary: ties go to the even digit.
    EXPECT_EQ(TimeExport::hoursText(450), "0.12");
    EXPECT_EQ(TimeExport::hoursText(2250), "0.62");
    EXPECT_EQ(TimeExport::hoursText(4050), "1.12");
    EXPECT_EQ(TimeExport::hoursText(1350), "0.38"); // 0.375
    EXPECT_EQ(TimeExport::hoursText(3725.9), "1.03");
    EXPECT_EQ(TimeExport::hoursText(5400), "1.50");
    for (const double seconds : {450.0, 2250.0, 4050.0, 18.0, 36.0, 3725.9, 123456789.0}) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.2f", seconds / 3600.0);
        EXPECT_EQ(TimeExport::hoursText(seconds), QByteArray(expected)) << seconds;
    }
    EXPECT_EQ(TimeExport::hoursText(std::numeric_limits<double>::max()).right(3), ".00");
}

TEST_F(TimeExportTest, NumbersKeepTheirPointUnderGermanAndArabicFormatting)
{
    const QList<TimeExport::Row> rows{{1, "Code", 3725.9}, {12, "Mail", 1234567.0}};
    const QByteArray expected = TimeExport::csv(rows);
    for (const char* name : {"de_DE", "ar_EG"}) {
        SCOPED_TRACE(name);
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        std::setlocale(LC_ALL, (std::string(name) + ".UTF-8").c_str());
        // The locale really writes numbers differently.
        ASSERT_NE(QLocale().toString(1.5, 'f', 2), QStringLiteral("1.50"));
        EXPECT_EQ(TimeExport::csv(rows), expected);
        QLocale::setDefault(QLocale::c());
        std::setlocale(LC_ALL, "C");
    }
    EXPECT_TRUE(expected.contains("12,\"Mail\",1234567,342.94\n"));
}

TEST_F(TimeExportTest, EveryNameRoundTripsThroughAnRfc4180Reader)
{
    const QStringList names{
        "plain",
        "comma, inside",
        "\"quoted\" and \"\"double\"\"",
        "two\nlines",
        "carriage\r\nreturn",
        QStringLiteral("nul") + QChar(0) + QStringLiteral("inside"),
        QString(QChar(0)),
        QString(10000, QLatin1Char('x')) + "\"",
        QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467 family \U0001F3F3\uFE0F\u200D\U0001F308"),
        "  blanks  ",
        "",
        "\"",
        ",",
    };
    QList<TimeExport::Row> rows;
    for (qsizetype i = 0; i < names.size(); ++i)
        rows.append({i + 1, names[i], double(i) * 61.5});
    const QByteArray text = TimeExport::csv(rows);
    EXPECT_FALSE(text.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(text.endsWith('\n'));

    const std::optional<QList<QStringList>> records = readRfc4180(text);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), names.size() + 1);
    EXPECT_EQ(records->first(), QStringList({"desktop", "name", "seconds", "hours"}));
    for (qsizetype i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(i);
        const QStringList& record = records->at(i + 1);
        ASSERT_EQ(record.size(), 4);
        EXPECT_EQ(record[0], QString::number(i + 1));
        EXPECT_EQ(record[1], names[i]);
        EXPECT_EQ(record[2], QString::number(qint64(double(i) * 61.5)));
    }
}

TEST_F(TimeExportTest, TheReaderRejectsBrokenText)
{
    // The reader above would let a faulty export through if it accepted these.
    EXPECT_FALSE(readRfc4180("a,b\"c\n"));
    EXPECT_FALSE(readRfc4180("\"open\n"));
    EXPECT_FALSE(readRfc4180("\"a\"b\n"));
    EXPECT_FALSE(readRfc4180("no,end"));
    EXPECT_TRUE(readRfc4180("\"a\"\"b\",c\n"));
}

// --- writing -------------------------------------------------------------------

TEST_F(TimeExportTest, WritesTheBytesAndReplacesAnOldFileWhole)
{
    const QString path = home() + "/Tessaroom time.csv";
    writeFile(path, QByteArray(5000, 'z'));
    const QByteArray bytes = TimeExport::csv({{1, "Code", 60}});
    EXPECT_EQ(TimeExport::write(path, bytes), std::nullopt);
    EXPECT_EQ(read(path), bytes);
    EXPECT_EQ(QDir(home()).entryList(QDir::Files), QStringList({"Tessaroom time.csv"}));
}

TEST_F(TimeExportTest, AMissingFolderIsAFailureAndCreatesNothing)
{
    const QString path = home() + "/gone/Tessaroom time.csv";
    const std::optional<QString> failure = TimeExport::write(path, "x\n");
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("Tessaroom time.csv")) << failure->toStdString();
    EXPECT_TRUE(failure->contains("does not exist")) << failure->toStdString();
    EXPECT_FALSE(QFileInfo::exists(home() + "/gone"));
}

TEST_F(TimeExportTest, AFolderAtThePathIsAFailureAndStaysAsItWas)
{
    const QString path = home() + "/taken.csv";
    ASSERT_TRUE(QDir().mkpath(path));
    writeFile(path + "/inside.txt", "keep");
    const std::optional<QString> failure = TimeExport::write(path, "x\n");
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(QDir(path).entryList(QDir::Files), QStringList({"inside.txt"}));
    EXPECT_EQ(read(path + "/inside.txt"), "keep");
    EXPECT_EQ(QDir(home()).entryList(QDir::Files), QStringList());
}

TEST_F(TimeExportTest, AFolderNobodyMayWriteInIsAFailure)
{
    // The process file system takes no new files, whoever asks (root too).
    const std::optional<QString> failure = TimeExport::write("/proc/Tessaroom time.csv", "x\n");
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("/proc")) << failure->toStdString();
    EXPECT_FALSE(QFileInfo::exists("/proc/Tessaroom time.csv"));
}

TEST_F(TimeExportTest, AnUnwritableFolderLeavesTheOldFileUnchanged)
{
    // A read-only mode binds everyone but root; where it binds, the old
    // file must survive the failed write untouched.
    const QString folder = home() + "/locked";
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/Tessaroom time.csv";
    writeFile(path, "old\n");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const bool binding = !QFileInfo(folder).isWritable() && !QFile(folder + "/probe").open(QIODevice::WriteOnly);
    const std::optional<QString> failure = TimeExport::write(path, "new\n");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(folder + "/probe");
    if (!binding)
        GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_TRUE(failure.has_value());
    EXPECT_EQ(read(path), "old\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"Tessaroom time.csv"}));
}

TEST_F(TimeExportTest, AFullDiskLeavesTheOldFileWholeAndSaysWhy)
{
    const QString path = home() + "/Tessaroom time.csv";
    writeFile(path, "desktop,name,seconds,hours\n1,\"Code\",60,0.02\n");
    platform::AtomicFile::failNextWrite({.step = platform::AtomicFile::Step::flush});
    const std::optional<QString> failure = TimeExport::write(path, TimeExport::csv({{1, "Code", 120}}));
    platform::AtomicFile::clearInjectedFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("No space left on device")) << failure->toStdString();
    EXPECT_EQ(read(path), "desktop,name,seconds,hours\n1,\"Code\",60,0.02\n");
    EXPECT_EQ(QDir(home()).entryList(QDir::Files | QDir::Hidden), QStringList({"Tessaroom time.csv"}));
}
