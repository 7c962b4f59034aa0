// SPDX-License-Identifier: GPL-3.0-or-later
#include "general.h"
#include "headlesscity.h"
#include "labrun.h"
#include "localeforms.h"
#include "measurestable.h"
#include "numbertext.h"
#include "preferencetext.h"
#include "usenglishforms.h"

#include "fakecitywindow.h"

#include <QFile>
#include <QHash>
#include <QTest>

#include <map>
#include <memory>

// What the model and the Lab gave before the core was rebuilt on the standard library alone,
// recorded in golden/ (see its README): the core and the desktop's forms must still give it,
// text for text and byte for byte.
class TestGolden : public QObject
{
    Q_OBJECT

private slots:
    void preferenceReadings();
    void fieldTexts();
    void measuresOfRuns_data();
    void measuresOfRuns();
};

namespace {

QString Decoded(const QByteArray &encoded)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
}

// The lines of a golden file, split at tabs, without its comment lines.
QList<QList<QByteArray>> Rows(const char *name)
{
    QFile file(QStringLiteral(GOLDEN_DIR "/%1").arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QList<QByteArray>> rows;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty() && !line.startsWith('#'))
            rows << line.split('\t');
    }
    return rows;
}

// A window in one locale, reading preference texts as the desktop does.
struct LocaleReader
{
    explicit LocaleReader(const QLocale &locale) : forms(locale), general(window, random, forms) {}
    FakeCityWindow window;
    RandomSource random = RandomSource::WithSeed(1);
    LocaleForms forms;
    General general;
};

QLocale Locale(const QByteArray &name)
{
    return QLocale(QString::fromLatin1(name));
}

} // namespace

void TestGolden::preferenceReadings()
{
    const auto rows = Rows("preference-readings.tsv");
    QVERIFY(rows.size() > 12000);
    const HeadlessCity lab(1);
    LocaleReader us(Locale("en_US")), de(Locale("de_DE")), fr(Locale("fr_FR"));
    constexpr std::int16_t Before = 3;
    for (const auto &row : rows) {
        QCOMPARE(row.size(), 8);
        const std::string text = Decoded(row[0]).toStdString();
        const struct
        {
            const General &reader;
            qsizetype column;
        } readers[] = {{lab.general(), 1}, {us.general, 1}, {de.general, 3}, {fr.general, 5}};
        for (const auto &[reader, column] : readers) {
            const auto reading = reader.ReadPreference(text, Before);
            if (reading.eighths != row[column].toInt() || reading.display != Decoded(row[column + 1]).toStdString())
                QFAIL(qPrintable(QStringLiteral("'%1' (column %2) reads as %3 eighths, shown '%4'; recorded %5 and '%6'")
                                     .arg(Decoded(row[0])).arg(column).arg(reading.eighths)
                                     .arg(QString::fromStdString(reading.display), QString(row[column]),
                                          Decoded(row[column + 1]))));
        }
        // Records of runs are read as runs read them then; what a run takes now is plain,
        // and so a part of that.
        const bool taken = row[7] == "taken";
        if (!RecordedPreferenceProblem(text) != taken)
            QFAIL(qPrintable(QStringLiteral("'%1' is no longer %2 in a record").arg(Decoded(row[0]), row[7])));
        if (!PreferenceProblem(text) && !taken)
            QFAIL(qPrintable(QStringLiteral("'%1' is taken by a run, and was not before").arg(Decoded(row[0]))));
    }
}

void TestGolden::fieldTexts()
{
    const auto rows = Rows("field-texts.tsv");
    QVERIFY(rows.size() > 2700);
    std::map<QByteArray, std::vector<std::unique_ptr<FieldForms>>> forms;
    for (const QByteArray name : {"en_US", "de_DE", "en_GB", "fr_FR"})
        forms[name].push_back(std::make_unique<LocaleForms>(Locale(name)));
    // The core's own forms are US English.
    forms["en_US"].push_back(std::make_unique<UsEnglishForms>());

    for (const auto &row : rows) {
        QCOMPARE(row.size(), 4);
        const QByteArray &kind = row[0];
        if (kind == "four-decimals") {
            QCOMPARE(QString::fromStdString(NumberText::FormatFourDecimals(row[2].toDouble())), Decoded(row[3]));
            continue;
        }
        QVERIFY2(forms.count(row[1]), row[1].constData());
        for (const auto &f : forms[row[1]]) {
            const double value = row[2].toDouble();
            std::string got;
            if (kind == "count") {
                got = f->FormatCount(value);
            } else if (kind == "percent") {
                got = f->FormatPercent(value);
            } else if (kind == "preference") {
                got = f->FormatPreference(value / 8.0);
            } else if (kind == "count-read") {
                const auto read = f->ReadNumber(Decoded(row[2]).toStdString());
                QCOMPARE(read ? QByteArray::number(*read, 'g', 17) : QByteArray("none"), row[3]);
                continue;
            } else if (kind == "date") {
                const auto day = QDate::fromString(QString::fromLatin1(row[2]), Qt::ISODate);
                got = f->WriteDate(Date{std::chrono::year{day.year()}, std::chrono::month{unsigned(day.month())},
                                        std::chrono::day{unsigned(day.day())}});
            } else if (kind == "date-read") {
                const auto read = f->ReadDate(Decoded(row[2]).toStdString());
                QVERIFY(read);
                QCOMPARE(QByteArray::fromStdString(IsoDate(*read)), row[3]);
                continue;
            } else {
                QFAIL(kind.constData());
            }
            if (QString::fromStdString(got) != Decoded(row[3]))
                QFAIL(qPrintable(QStringLiteral("%1 of %2 in %3: '%4', recorded '%5'")
                                     .arg(QString(kind), QString(row[2]), QString(row[1]),
                                          QString::fromStdString(got), Decoded(row[3]))));
        }
    }
}

void TestGolden::measuresOfRuns_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<std::uint32_t>("seed");
    QTest::addColumn<QStringList>("prefs");
    QTest::addColumn<qint64>("generations");
    QTest::addColumn<int>("every");
    QTest::addColumn<QList<QPair<qint64, QStringList>>>("changes");

    const QStringList half(5, QStringLiteral(".5"));
    QTest::newRow("seed 7, ten years") << "measures-seed7.csv" << 7u << half << qint64(457) << 46
                                       << QList<QPair<qint64, QStringList>>{};
    QTest::newRow("seed 4242, twenty years and two changes")
        << "measures-seed4242.csv" << 4242u << QStringList{"25%", ".5", "62.5", "1", "0"} << qint64(914) << 23
        << QList<QPair<qint64, QStringList>>{{200, {"0", "0", "0", "0", "0"}},
                                             {800, {"100%", "87.5%", ".75", "50", "12.5%"}}};
    QTest::newRow("the largest seed, a change at once")
        << "measures-seed4294967295.csv" << 4294967295u << QStringList{"0", "0", "0", "0", "100%"} << qint64(300)
        << 10 << QList<QPair<qint64, QStringList>>{{1, {"1", "1", "1", "1", "1"}}};
}

// Compared column by column under the recorded header, so that measures added since are
// no difference.
void TestGolden::measuresOfRuns()
{
    QFETCH(QString, file);
    QFETCH(std::uint32_t, seed);
    QFETCH(QStringList, prefs);
    QFETCH(qint64, generations);
    QFETCH(int, every);
    using Changes = QList<QPair<qint64, QStringList>>;
    QFETCH(Changes, changes);

    auto texts = [](const QStringList &list) {
        std::vector<std::string> out;
        for (const QString &text : list)
            out.push_back(text.toStdString());
        return out;
    };
    RunPlan plan;
    plan.seed = seed;
    plan.prefTexts = texts(prefs);
    plan.generations = generations;
    plan.every = every;
    for (const auto &[generation, list] : changes)
        plan.changes.push_back({generation, texts(list)});

    QFile golden(QStringLiteral(GOLDEN_DIR "/") + file);
    QVERIFY(golden.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = golden.readAll().split('\n');
    const QList<QByteArray> recordedHeader = lines.front().split(',');
    const QList<QByteArray> header = QByteArray::fromStdString(MeasuresTable::HeaderLine()).trimmed().split(',');

    qsizetype row = 1;
    LabRun run(plan);
    CityMeasurer measurer;
    const LabRun::End end = run.Execute([&](std::int64_t g, const HeadlessCity &city) {
        if (!plan.measuredAt(g))
            return true;
        const QList<QByteArray> fields =
            QByteArray::fromStdString(MeasuresTable::Line(TakeSample(city, g, measurer))).trimmed().split(',');
        const QList<QByteArray> recorded = lines.value(row++).split(',');
        for (qsizetype c = 0; c < recordedHeader.size(); ++c) {
            const qsizetype now = header.indexOf(recordedHeader[c]);
            if (now < 0 || fields.value(now) != recorded.value(c)) {
                qWarning("generation %lld, column %s: %s, recorded %s", qlonglong(g), recordedHeader[c].constData(),
                         fields.value(now).constData(), recorded.value(c).constData());
                return false;
            }
        }
        return true;
    });
    QCOMPARE(end, LabRun::End::Finished);
    QCOMPARE(row, lines.size() - 1);   // every recorded row met, and the file's last newline
}

QTEST_GUILESS_MAIN(TestGolden)
#include "tst_golden.moc"
