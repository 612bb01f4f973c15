#include "ui/RegexTestPane.h"

#include "engine/MatchCollector.h"
#include "engine/RunSettings.h"
#include "engine/UrlJob.h"
#include "fetch/HttpUtilC.h"
#include "fetch/IdentityLists.h"
#include "text/FileUtil.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <exception>

RegexTestPane::RegexTestPane(const RunSettings& settings, const IdentityLists& lists, QWidget* parent) :
    QWidget(parent),
    RadioTestExample(new QRadioButton(QStringLiteral("The entry's example"), this)),
    RadioTestOwnText(new QRadioButton(QStringLiteral("Own text"), this)),
    MemoTestText(new QPlainTextEdit(this)),
    ChkTestRemoveDuplicated(new QCheckBox(QStringLiteral("Remove duplicated"), this)),
    TextFieldTestUrl(new QLineEdit(this)),
    ButtonTestFetch(new QPushButton(QStringLiteral("Fetch"), this)),
    LabelFetchStatus(new QLabel(this)),
    LabelTestResult(new QLabel(this)),
    MemoTestMatches(new QPlainTextEdit(this)),
    m_settings(settings),
    m_lists(lists)
{
    setObjectName(QStringLiteral("PanelRegexTest"));
    RadioTestExample->setObjectName(QStringLiteral("RadioTestExample"));
    RadioTestExample->setToolTip(QStringLiteral("Try the pattern on the example of the current entry"));
    RadioTestExample->setChecked(true);
    RadioTestOwnText->setObjectName(QStringLiteral("RadioTestOwnText"));
    RadioTestOwnText->setToolTip(QStringLiteral("Try the pattern on text you type, paste or fetch"));
    MemoTestText->setObjectName(QStringLiteral("MemoTestText"));
    MemoTestText->setPlaceholderText(QStringLiteral("Paste a page or fetch one from a URL"));
    ChkTestRemoveDuplicated->setObjectName(QStringLiteral("ChkTestRemoveDuplicated"));
    ChkTestRemoveDuplicated->setToolTip(
        QStringLiteral("Remove duplicated matches, as a run with this option does"));
    TextFieldTestUrl->setObjectName(QStringLiteral("TextFieldTestUrl"));
    TextFieldTestUrl->setPlaceholderText(QStringLiteral("https://"));
    TextFieldTestUrl->setClearButtonEnabled(true);
    ButtonTestFetch->setObjectName(QStringLiteral("ButtonTestFetch"));
    ButtonTestFetch->setToolTip(QStringLiteral("Fetch the page as a run would and try the pattern on it"));
    ButtonTestFetch->setAutoDefault(false);
    LabelFetchStatus->setObjectName(QStringLiteral("LabelFetchStatus"));
    LabelFetchStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LabelTestResult->setObjectName(QStringLiteral("LabelTestResult"));
    LabelTestResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LabelTestResult->setWordWrap(true);
    MemoTestMatches->setObjectName(QStringLiteral("MemoTestMatches"));
    MemoTestMatches->setReadOnly(true);
    MemoTestMatches->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoTestMatches->setAccessibleName(QStringLiteral("Matches"));

    auto* labelSource = new QLabel(QStringLiteral("Try on:"), this);
    auto* labelUrl = new QLabel(QStringLiteral("&URL:"), this);
    labelUrl->setBuddy(TextFieldTestUrl);
    auto* labelText = new QLabel(QStringLiteral("&Text:"), this);
    labelText->setBuddy(MemoTestText);

    auto* top = new QHBoxLayout;
    top->addWidget(labelSource);
    top->addWidget(RadioTestExample);
    top->addWidget(RadioTestOwnText);
    top->addSpacing(12);
    top->addWidget(labelUrl);
    top->addWidget(TextFieldTestUrl, 1);
    top->addWidget(ButtonTestFetch);
    top->addSpacing(12);
    top->addWidget(ChkTestRemoveDuplicated);

    auto* grid = new QGridLayout;
    auto* textCaption = new QHBoxLayout;
    textCaption->addWidget(labelText);
    textCaption->addWidget(LabelFetchStatus, 1);
    grid->addLayout(textCaption, 0, 0);
    grid->addWidget(LabelTestResult, 0, 1);
    grid->addWidget(MemoTestText, 1, 0);
    grid->addWidget(MemoTestMatches, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addLayout(grid, 1);

    m_debounce.setSingleShot(true);
    m_debounce.setInterval(DebounceMs);
    connect(&m_debounce, &QTimer::timeout, this, &RegexTestPane::runTrial);
    connect(RadioTestExample, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            showExample();
        scheduleTrial();
    });
    connect(MemoTestText, &QPlainTextEdit::textChanged, this, [this] {
        if (m_showingExample)
            return;
        // Typing over the example makes it the user's own text; the entry's example is not changed.
        if (RadioTestExample->isChecked())
            RadioTestOwnText->setChecked(true);
        scheduleTrial();
    });
    connect(ChkTestRemoveDuplicated, &QCheckBox::toggled, this, &RegexTestPane::scheduleTrial);
    connect(ButtonTestFetch, &QPushButton::clicked, this, &RegexTestPane::ButtonFetchClick);
    connect(TextFieldTestUrl, &QLineEdit::returnPressed, this, &RegexTestPane::ButtonFetchClick);

    runTrial();
}

RegexTestPane::~RegexTestPane()
{
    // The fetch hands its page to this object; it must end before the object does.
    if (m_fetchThread.joinable())
        m_fetchThread.join();
}

void RegexTestPane::setEntry(const std::optional<RegexLibraryEntry>& entry)
{
    if (entry == m_entry)
        return;
    m_entry = entry;
    if (RadioTestExample->isChecked())
        showExample();
    scheduleTrial();
}

void RegexTestPane::runPendingTrial()
{
    if (m_debounce.isActive()) {
        m_debounce.stop();
        runTrial();
    }
}

QString RegexTestPane::resultText() const
{
    return LabelTestResult->text();
}

void RegexTestPane::scheduleTrial()
{
    m_debounce.start();
}

void RegexTestPane::showExample()
{
    const QString example = m_entry ? m_entry->example.value_or(QString()) : QString();
    if (MemoTestText->toPlainText() == example)
        return;
    m_showingExample = true;
    MemoTestText->setPlainText(example);
    m_showingExample = false;
}

void RegexTestPane::runTrial()
{
    m_debounce.stop();
    m_count = 0;
    m_matches.clear();
    QString failure;
    const QString pattern = m_entry ? m_entry->regex_pattern.value_or(QString()) : QString();
    if (!m_entry) {
        failure = QStringLiteral("No entry to try");
    } else if (pattern.isEmpty()) {
        failure = QStringLiteral("The entry has no pattern to try");
    } else if (const QString error = patternCompileError(pattern); !error.isEmpty()) {
        failure = QStringLiteral("The pattern does not compile: ") + error;
    } else {
        QString matchesStrings;
        ApplyRegexToHtml(MemoTestText->toPlainText(), pattern, m_entry->regex_replacement.value_or(QString()),
            m_count, matchesStrings, ChkTestRemoveDuplicated->isChecked());
        // The lines the export would write for this page.
        if (!matchesStrings.isEmpty())
            m_matches = splitFields(matchesStrings, FieldSeparator);
    }
    if (failure.isEmpty()) {
        LabelTestResult->setText(
            m_count == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(m_count));
        LabelTestResult->setStyleSheet(QString());
    } else {
        LabelTestResult->setText(failure);
        LabelTestResult->setStyleSheet(QStringLiteral("color: #b00020;"));
    }
    MemoTestMatches->setPlainText(m_matches.join(QLatin1Char('\n')));
    Q_EMIT trialFinished();
}

void RegexTestPane::ButtonFetchClick()
{
    if (m_fetching)
        return;
    const QString url = TextFieldTestUrl->text().trimmed();
    if (url.isEmpty()) {
        LabelFetchStatus->setText(QStringLiteral("Enter the address of a page to fetch"));
        return;
    }
    // The same identity and proxy a job of a run would take.
    if (!proxyRefusal(m_settings, m_lists).isEmpty()) {
        LabelFetchStatus->setText(noProxyOutcome());
        return;
    }
    const QString referer = drawEntry(m_lists.ListReferers()).value_or(QString());
    const QString userAgent = drawEntry(m_lists.ListUserAgents()).value_or(QString());
    QStringList proxy;
    if (m_settings.EnableProxies)
        proxy = buildProxyList(drawEntry(m_lists.ListProxies()).value_or(QString()));
    const int timeout = m_settings.TimeoutThreads;

    if (m_fetchThread.joinable())
        m_fetchThread.join(); // the last fetch has handed back its page already
    try {
        m_fetchThread = std::thread([this, url, referer, userAgent, proxy, timeout] {
            QString page;
            QString outcome;
            try {
                HttpUtil HttpClient(timeout);
                HttpClient.GetPage(url, referer, userAgent, &proxy, page);
                outcome = HttpClient.outcome().text;
            } catch (const std::exception& e) {
                outcome = QString::fromUtf8(e.what());
            } catch (...) {
                outcome = QStringLiteral("Unknown error");
            }
            QMetaObject::invokeMethod(
                this, [this, page, outcome] { fetchDone(page, outcome); }, Qt::QueuedConnection);
        });
    } catch (const std::exception& e) {
        LabelFetchStatus->setText(QString::fromUtf8(e.what()));
        return;
    }
    m_fetching = true;
    ButtonTestFetch->setEnabled(false);
    LabelFetchStatus->setText(QStringLiteral("Fetching page..."));
}

void RegexTestPane::fetchDone(const QString& page, const QString& outcome)
{
    if (m_fetchThread.joinable())
        m_fetchThread.join();
    m_fetching = false;
    ButtonTestFetch->setEnabled(true);
    if (outcome.isEmpty()) {
        RadioTestOwnText->setChecked(true);
        MemoTestText->setPlainText(page);
        LabelFetchStatus->setText(QStringLiteral("%1 characters fetched").arg(page.size()));
    } else {
        LabelFetchStatus->setText(QStringLiteral("Fetch failed: ") + outcome);
    }
    Q_EMIT fetchFinished();
}
