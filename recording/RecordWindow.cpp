#include "recording/RecordWindow.h"

#include <algorithm>

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
#include <QPainter>
#include <QPen>
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
// Twelve colours told apart on white, one per input: none repeats.
constexpr const char* kInputColours[kTrendInputs] = {
    "#0067A5", "#F38400", "#008856", "#BE0032", "#875692", "#882D17",
    "#E68FAC", "#00CED1", "#8DB600", "#A1CAF1", "#2B3D26", "#000000",
};

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
    // Real times on the axis from the start, not 00:00:00.
    updateChart();
    showHint();
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
    auto* choose = new QPushButton(QStringLiteral("Sou&bor…"), rec);
    start_ = new QPushButton(QStringLiteral("&Spustit"), rec);
    stop_ = new QPushButton(QStringLiteral("&Zastavit"), rec);
    errorColumn_ = new QCheckBox(QStringLiteral("Sloupec „&Chyba přenosu“"), rec);
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
    auto* box = new QGroupBox(QStringLiteral("Průběh &vstupů KALU"), this);
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
        s->setColor(QColor(QString::fromLatin1(kInputColours[i])));
        s->attachAxis(timeAxis_);
        s->attachAxis(valueAxis_);
        s->setVisible(false);
        connect(b, &QCheckBox::toggled, this, [this, s](bool on) {
            s->setVisible(on);
            chartDirty_ = true;
            showHint();
        });
    }
    for (int m = 0; m < kModuleMarkLines; ++m) {
        auto* line = new QLineSeries(chart_);
        chart_->addSeries(line);
        line->setPen(QPen(Qt::darkGray, 1, Qt::DashLine));
        line->attachAxis(timeAxis_);
        line->attachAxis(valueAxis_);
        line->setVisible(false);
        marks_[static_cast<std::size_t>(m)] = line;
    }
    hint_ = new QLabel(QStringLiteral("Zaškrtněte vstupy, jejichž průběh se má kreslit."), box);
    // A hidden series keeps no legend entry: only the ticked inputs are named.
    chart_->legend()->setAlignment(Qt::AlignBottom);
    labelInputs();
    auto* controls = new QHBoxLayout;
    window_ = new QComboBox(box);
    for (int m : kWindowMinutes) window_->addItem(QStringLiteral("posledních %1 min").arg(m), m);
    pause_ = new QCheckBox(QStringLiteral("&Pozastavit"), box);
    auto* save = new QPushButton(QStringLiteral("&Uložit obrázek"), box);
    auto* windowLabel = new QLabel(QStringLiteral("&Okno:"), box);
    windowLabel->setBuddy(window_);
    controls->addWidget(windowLabel);
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
    layout->addWidget(hint_);
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
    // The save dialog has asked before naming a file that exists.
    replaceAgreed_ = true;
    showState();
}

// A start never loses an earlier recording: the same columns go on at the end of the file; a
// file of other columns is replaced only when the user chose it in the dialog just now, and
// otherwise the user is asked for another file.
RecordStart RecordWindow::startRecorder(RequestKind kind, const RecordingOptions& options) {
    const int board = app_.selections.MokrInputPiggy;
    RecordStart result = recorder_.resume(path_, kind, board, options);
    for (int asked = 0; result == RecordStart::OtherTable && asked < 2; ++asked) {
        if (replaceAgreed_)
            return recorder_.start(path_, kind, board, options) ? RecordStart::Created
                                                                : RecordStart::Failed;
        char answer = kAnswerNo;
        ShowMessageWindow(QStringLiteral("Soubor %1 obsahuje jiné sloupce, než má tento záznam.")
                              .arg(path_)
                              .toStdString(),
                          "Zvolit pro záznam jiný soubor?", 3, answer, 0);
        if (answer != kAnswerYes) return result;
        chooseFile();
        if (!replaceAgreed_) return result;  // no file chosen
        result = recorder_.resume(path_, kind, board, options);
    }
    return result;
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
    if (startRecorder(kind, options) == RecordStart::Failed)
        ShowMessageWindow(recorder_.message().toStdString(), "", 2, 1);
    wasRecording_ = recorder_.recording();
    if (wasRecording_) replaceAgreed_ = false;
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
        polled.shown == nullptr)
        return;
    // The values the KALU window shows, offsets applied.
    std::array<float, kTrendInputs> values{};
    std::copy_n(polled.shown->kalu.numbers.begin(), kTrendInputs, values.begin());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    trend_.setModule(now, app_.config.AnalogConfig.ModuleAddress);
    trend_.add(now, values);
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
    showModuleMarks();
}

// Each change of the polled module as a dashed vertical line named by the new address.
void RecordWindow::showModuleMarks() {
    const auto& marks = trend_.moduleMarks();
    const std::size_t first = marks.size() > marks_.size() ? marks.size() - marks_.size() : 0;
    for (std::size_t m = 0; m < marks_.size(); ++m) {
        QLineSeries* line = marks_[m];
        const std::size_t i = first + m;
        if (i >= marks.size()) {
            line->setVisible(false);
            continue;
        }
        const auto x = static_cast<double>(marks[i].ms);
        line->replace(QList<QPointF>{{x, valueAxis_->min()}, {x, valueAxis_->max()}});
        line->setName(QStringLiteral("modul %1 od %2")
                          .arg(marks[i].address)
                          .arg(QDateTime::fromMSecsSinceEpoch(marks[i].ms)
                                   .toString(QStringLiteral("HH:mm:ss"))));
        line->setVisible(true);
    }
}

void RecordWindow::showHint() {
    const bool any = std::any_of(inputs_.begin(), inputs_.end(),
                                 [](const QCheckBox* b) { return b->isChecked(); });
    hint_->setVisible(!any);
}

// "Záznam hodnot – KALU, adresa 2, 10.12.2026 09:26:00 až 09:27:00": what the saved picture
// shows, of which module and when.
QString RecordWindow::imageTitle() const {
    const QDateTime from = timeAxis_->min();
    const QDateTime to = timeAxis_->max();
    const QString end = to.date() == from.date() ? to.toString(QStringLiteral("HH:mm:ss"))
                                                 : to.toString(QStringLiteral("d.M.yyyy HH:mm:ss"));
    return QStringLiteral("Záznam hodnot – KALU, adresa %1, %2 až %3")
        .arg(app_.config.AnalogConfig.ModuleAddress)
        .arg(from.toString(QStringLiteral("d.M.yyyy HH:mm:ss")), end);
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
    // Ticks at round numbers (0, 20, 40 rather than 2.3, 33.6, 64.9).
    valueAxis_->applyNiceNumbers();
}

// The chart under a line that names the module, the date and the time span.
QImage RecordWindow::chartImage() {
    updateChart();
    const QImage chart = view_->grab().toImage();
    const QFontMetrics metrics(font());
    const int band = 2 * metrics.height();
    QImage image(chart.width(), chart.height() + band, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    painter.setFont(font());
    painter.drawText(QRect(0, 0, image.width(), band), Qt::AlignCenter, imageTitle());
    painter.drawImage(0, band, chart);
    return image;
}

QImage RecordWindow::chartImage() const {
    return view_->grab().toImage();
}

bool RecordWindow::saveImage(const QString& path) {
    if (chartImage().save(path, "PNG")) return true;
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
