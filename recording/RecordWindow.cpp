#include "recording/RecordWindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include "modules/RequestBuilders.h"
#include "monitor/AppState.h"
#include "ui/Cp1250.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

// One redraw a second keeps a trend of minutes live; each replaces whole series, never point by
// point, and moves the time axis, which lays out every series again.
constexpr int kRefreshMs = 1000;
// Points drawn per input: the lowest and the highest of 100 stretches of the window, so spikes
// stay visible; a minute at 10 polls a second holds 600.
constexpr std::size_t kDrawnPoints = 200;
constexpr int kWindowMinutes[] = {1, 10, 60};

QString kindName(RequestKind kind) {
    static const char* const names[] = {"KALU", "TEV", "TEW", "TEVW", "MOKR"};
    return kind <= RequestKind::Mokr ? QString::fromLatin1(names[static_cast<std::size_t>(kind)])
                                     : QStringLiteral("žádné");
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024) return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 kB").arg(
            QLocale(QLocale::Czech).toString(bytes / 1024.0, 'f', 1));
    return QStringLiteral("%1 MB").arg(
        QLocale(QLocale::Czech).toString(bytes / (1024.0 * 1024.0), 'f', 1));
}

QString askWithDialog(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
}

}  // namespace

RecordWindow::RecordWindow(AppState& app, QWidget* parent)
    : QWidget(parent, Qt::Window), app_(app), recorder_(app.config) {
    setObjectName(QStringLiteral("RecordWindow"));
    setWindowTitle(QStringLiteral("Záznam hodnot"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    askFile_ = [this](const QString& caption, const QString& filter) {
        return askWithDialog(this, caption, filter);
    };
    build();
    app_.loop.AnswerObserved = [this](const PolledAnswer& polled) { onAnswer(polled); };
    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, &RecordWindow::refresh);
    timer_->start();
    showState();
}

RecordWindow::~RecordWindow() {
    app_.loop.AnswerObserved = nullptr;
    recorder_.stop();
}

void RecordWindow::build() {
    auto* top = new QVBoxLayout(this);
    auto* rec = new QGroupBox(QStringLiteral("Záznam do souboru CSV"), this);
    auto* grid = new QGridLayout(rec);
    file_ = new QLabel(rec);
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* choose = new QPushButton(QStringLiteral("&Soubor…"), rec);
    start_ = new QPushButton(QStringLiteral("&Spustit"), rec);
    stop_ = new QPushButton(QStringLiteral("&Zastavit"), rec);
    errorColumn_ = new QCheckBox(QStringLiteral("Sloupec „Chyba přenosu“"), rec);
    rows_ = new QLabel(rec);
    note_ = new QLabel(rec);
    note_->setWordWrap(true);
    grid->addWidget(file_, 0, 0, 1, 3);
    grid->addWidget(choose, 1, 0);
    grid->addWidget(start_, 1, 1);
    grid->addWidget(stop_, 1, 2);
    grid->addWidget(errorColumn_, 2, 0, 1, 3);
    grid->addWidget(rows_, 3, 0, 1, 3);
    grid->addWidget(note_, 4, 0, 1, 3);
    connect(choose, &QPushButton::clicked, this, &RecordWindow::chooseFile);
    connect(start_, &QPushButton::clicked, this, &RecordWindow::startClicked);
    connect(stop_, &QPushButton::clicked, this, &RecordWindow::stopClicked);
    top->addWidget(rec);
    top->addWidget(buildChart(), 1);
    resize(820, 620);
}

QWidget* RecordWindow::buildChart() {
    auto* box = new QGroupBox(QStringLiteral("Průběh vstupů KALU"), this);
    auto* layout = new QVBoxLayout(box);
    auto* ticks = new QGridLayout;
    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
    valueAxis_ = new QValueAxis;
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    for (int i = 0; i < kTrendInputs; ++i) {
        auto* b = new QCheckBox(box);
        inputs_[static_cast<std::size_t>(i)] = b;
        ticks->addWidget(b, i / 4, i % 4);
        auto* s = new QLineSeries(chart_);
        series_[static_cast<std::size_t>(i)] = s;
        chart_->addSeries(s);
        s->attachAxis(timeAxis_);
        s->attachAxis(valueAxis_);
        s->setVisible(false);
        connect(b, &QCheckBox::toggled, this, [this, s](bool on) {
            s->setVisible(on);
            chartDirty_ = true;
        });
    }
    // A hidden series keeps no legend entry: only the ticked inputs are named.
    chart_->legend()->setAlignment(Qt::AlignBottom);
    labelInputs();
    auto* controls = new QHBoxLayout;
    window_ = new QComboBox(box);
    for (int m : kWindowMinutes) window_->addItem(QStringLiteral("posledních %1 min").arg(m), m);
    pause_ = new QCheckBox(QStringLiteral("&Pozastavit"), box);
    auto* save = new QPushButton(QStringLiteral("Uložit &obrázek"), box);
    controls->addWidget(new QLabel(QStringLiteral("Okno:"), box));
    controls->addWidget(window_);
    controls->addWidget(pause_);
    controls->addStretch(1);
    controls->addWidget(save);
    connect(window_, &QComboBox::currentIndexChanged, this, [this](int index) {
        trend_.setWindowMinutes(window_->itemData(index).toInt());
        chartDirty_ = true;
    });
    connect(pause_, &QCheckBox::toggled, this, [this] { chartDirty_ = true; });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path =
            askFile_(QStringLiteral("Uložit obrázek"), QStringLiteral("Obrázek PNG (*.png)"));
        if (!path.isEmpty())
            saveImage(path.endsWith(".png", Qt::CaseInsensitive) ? path : path + ".png");
    });
    view_ = new QChartView(chart_, box);
    view_->setRenderHint(QPainter::Antialiasing, false);
    view_->setMinimumHeight(300);
    layout->addLayout(ticks);
    layout->addLayout(controls);
    layout->addWidget(view_, 1);
    return box;
}

// The names of the analog configuration, in the check boxes and the legend.
void RecordWindow::labelInputs() {
    const std::vector<std::string> titles = recordedTitles(RequestKind::Kalu, app_.config, 0);
    for (std::size_t i = 0; i < inputs_.size() && i < titles.size(); ++i) {
        const QString name = QString::fromStdString(titles[i]);
        inputs_[i]->setText(QStringLiteral("%1 %2").arg(i).arg(name));
        series_[i]->setName(name);
    }
}

void RecordWindow::chooseFile() {
    const QString path =
        askFile_(QStringLiteral("Soubor záznamu"), QStringLiteral("Tabulka CSV (*.csv)"));
    if (path.isEmpty()) return;
    path_ = path.endsWith(".csv", Qt::CaseInsensitive) ? path : path + ".csv";
    showState();
}

void RecordWindow::startClicked() {
    if (recorder_.recording()) return;
    const RequestKind kind = app_.loop.MonitoredKind;
    if (kind > RequestKind::Mokr) {
        ShowMessageWindow("Není otevřeno žádné okno jednotky.",
                          "Otevřete okno jednotky, jejíž hodnoty se mají zaznamenat.");
        return;
    }
    if (path_.isEmpty()) chooseFile();
    if (path_.isEmpty()) return;
    RecordingOptions options;
    options.errorColumn = errorColumn_->isChecked();
    labelInputs();
    if (!recorder_.start(path_, kind, app_.selections.MokrInputPiggy, options))
        ShowMessageWindow(recorder_.message().toStdString(), "");
    wasRecording_ = recorder_.recording();
    showState();
}

void RecordWindow::stopClicked() {
    recorder_.stop();
    wasRecording_ = false;
    showState();
}

void RecordWindow::onAnswer(const PolledAnswer& polled) {
    recorder_.onAnswer(polled);
    if (polled.kind != RequestKind::Kalu || polled.monitored != RequestKind::Kalu ||
        !polled.transferred)
        return;
    // The KALU window decoded this answer just now: its values, offsets applied, are the ones.
    std::array<float, kTrendInputs> values{};
    std::copy_n(app_.decoder.KaluValues.begin(), kTrendInputs, values.begin());
    trend_.add(QDateTime::currentMSecsSinceEpoch(), values);
    chartDirty_ = true;
}

void RecordWindow::refresh() {
    recorder_.checkPolled(app_.loop.MonitoredKind);
    if (wasRecording_ && !recorder_.recording()) {
        wasRecording_ = false;
        // A write failure is an error to acknowledge; another polled window only a note.
        if (recorder_.message().startsWith(QStringLiteral("Záznam zastaven")))
            ShowMessageWindow(recorder_.message().toStdString(), "", 2, 1);
    }
    showState();
    if (chartDirty_ && !pause_->isChecked()) updateChart();
}

void RecordWindow::updateChart() {
    chartDirty_ = false;
    std::uint16_t mask = 0;
    for (int i = 0; i < kTrendInputs; ++i) {
        QLineSeries* s = series_[static_cast<std::size_t>(i)];
        if (!inputs_[static_cast<std::size_t>(i)]->isChecked()) continue;
        mask |= static_cast<std::uint16_t>(1u << i);
        const std::vector<QPointF> points = trend_.series(i, kDrawnPoints);
        s->replace(QList<QPointF>(points.begin(), points.end()));
    }
    const auto [from, to] = trend_.shownSpan(QDateTime::currentMSecsSinceEpoch());
    if (from != shownFrom_ || to != shownTo_) {
        shownFrom_ = from;
        shownTo_ = to;
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from),
                            QDateTime::fromMSecsSinceEpoch(to));
    }
    fitValueAxis(mask);
}

// The value axis changes only when the values leave it or fill less than half of it: a new
// range relays out the whole chart.
void RecordWindow::fitValueAxis(std::uint16_t mask) {
    const auto [lo, hi] = trend_.range(mask);
    const double shown = valueAxis_->max() - valueAxis_->min();
    const bool fits = lo >= valueAxis_->min() && hi <= valueAxis_->max();
    if (fits && (hi - lo) >= 0.5 * shown) return;
    const double margin = (hi - lo) * 0.05;
    valueAxis_->setRange(lo - margin, hi + margin);
}

QImage RecordWindow::chartImage() const {
    return view_->grab().toImage();
}

bool RecordWindow::saveImage(const QString& path) {
    updateChart();
    if (view_->grab().save(path, "PNG")) return true;
    ShowMessageWindow(QStringLiteral("Obrázek nelze uložit: %1").arg(path).toStdString(), "", 2, 1);
    return false;
}

void RecordWindow::showState() {
    const bool on = recorder_.recording();
    file_->setText(path_.isEmpty() ? QStringLiteral("Soubor: (nezvolen)")
                                   : QStringLiteral("Soubor: %1").arg(path_));
    start_->setEnabled(!on);
    stop_->setEnabled(on);
    errorColumn_->setEnabled(!on);
    const QString kind = kindName(on ? recorder_.kind() : app_.loop.MonitoredKind);
    rows_->setText(
        QStringLiteral("%1 okno %2    řádků: %3    chyb přenosu: %4    velikost: %5")
            .arg(on ? QStringLiteral("Zaznamenává se") : QStringLiteral("Sledované"), kind)
            .arg(recorder_.rows())
            .arg(recorder_.gaps())
            .arg(sizeText(recorder_.fileSize())));
    note_->setText(recorder_.message());
}

ValueRecording::ValueRecording(AppState& app) : app_(app) {}

ValueRecording::~ValueRecording() {
    delete window_.data();
}

RecordWindow* ValueRecording::show() {
    if (window_ == nullptr) window_ = new RecordWindow(app_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return window_;
}

ToolAction ValueRecording::action() {
    return {QStringLiteral("&Záznam hodnot"), QKeySequence(Qt::CTRL | Qt::Key_R),
            QStringLiteral("ActionRecording"), ToolReach::EveryWindow,
            [this](QWidget*) { show(); }};
}

Tool recordingTool(AppState& app) {
    auto recording = std::make_unique<ValueRecording>(app);
    Tool tool;
    tool.actions.push_back(recording->action());
    tool.keeper = std::move(recording);
    return tool;
}

}  // namespace velor
