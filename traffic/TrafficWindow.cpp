#include "traffic/TrafficWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

#include "comm/TrafficCapture.h"
#include "config/ConfigFiles.h"
#include "traffic/TrafficRowDelegate.h"
#include "ui/MessageService.h"

namespace velor {

namespace {

const QString kCaptureFilter = QStringLiteral("Záznam pro Wireshark (*.pcap)");
const QString kTextFilter = QStringLiteral("Text (*.txt)");

// Room a statistics cell leaves beside its text.
constexpr int kStatsCellMargin = 12;

std::uint32_t receivedCount(const AddressStats& s, Verdict v) {
    return s.received[static_cast<std::size_t>(v)];
}

QString badFramesText(const AddressStats& s) {
    static const std::pair<Verdict, const char*> reasons[] = {
        {Verdict::WrongChecksum, "chybný součet"}, {Verdict::LengthMismatch, "různé délky"},
        {Verdict::SecondStartMissing, "chybí 68"}, {Verdict::EndMissing, "chybí 16"},
        {Verdict::Incomplete, "neúplné"},          {Verdict::ShortUnknownCode, "neznámý FC"},
    };
    QStringList parts;
    for (const auto& [verdict, name] : reasons) {
        const std::uint32_t n = receivedCount(s, verdict);
        if (n > 0) parts << QString::fromUtf8(name) + QStringLiteral(" %1").arg(n);
    }
    const QString total = QString::number(s.badFrames());
    return parts.isEmpty() ? total : total + QStringLiteral(" (z toho ") + parts.join(", ") + ')';
}

QString negativeText(const AddressStats& s) {
    static const int codes[] = {2, 9, 12};
    QStringList parts;
    for (std::size_t i = 0; i < s.negative.size(); ++i) {
        if (s.negative[i] > 0) parts << QStringLiteral("FC%1: %2").arg(codes[i]).arg(s.negative[i]);
    }
    return parts.isEmpty() ? QStringLiteral("0") : parts.join(", ");
}

QString replyTimeText(const ReplyTimes& t) {
    if (t.count() == 0) return QStringLiteral("–");
    return QStringLiteral("%1 / %2 / %3 / %4")
        .arg(t.min())
        .arg(t.mean(), 0, 'f', 1)
        .arg(t.percentile(95))
        .arg(t.max());
}

}  // namespace

QStringList trafficStatsHeaders() {
    return {"Adresa",          "Dotazy",
            "Odpovědi",        "Time-out",
            "Chybné rámce",    "Záporné odpovědi",
            "Opakování",       "Neúspěšné",
            "Pozdní",          "Odezva min / průměr / 95 % / max [ms]",
            "Poslední odpověď"};
}

QStringList trafficStatsRow(const QString& name, const AddressStats& s) {
    return {name,
            QString::number(s.requests),
            QString::number(s.answered),
            QString::number(s.timeouts),
            badFramesText(s),
            negativeText(s),
            QString::number(s.retries),
            QString::number(s.failed),
            QString::number(s.late),
            replyTimeText(s.times),
            s.lastAnswerWallUs == 0 ? QStringLiteral("–") : trafficTimeText(s.lastAnswerWallUs)};
}

TrafficWindow::TrafficWindow(TrafficTap& tap, QWidget* parent)
    : QWidget(parent),
      Table(new QTableView(this)),
      Stats(new QTableWidget(this)),
      PauseButton(new QPushButton(QStringLiteral("&Pozastavit"), this)),
      ClearButton(new QPushButton(QStringLiteral("&Vymazat"), this)),
      CopyButton(new QPushButton(QStringLiteral("&Kopírovat"), this)),
      SaveButton(new QPushButton(QStringLiteral("&Uložit…"), this)),
      ResetButton(new QPushButton(QStringLiteral("V&ynulovat"), this)),
      AddressFilter(new QSpinBox(this)),
      ErrorsOnly(new QCheckBox(QStringLiteral("&Jen chyby"), this)),
      CountLabel(new QLabel(this)),
      RefreshTimer(new QTimer(this)),
      tap_(tap),
      model_(tap, this) {
    setObjectName(QStringLiteral("TrafficWindow"));
    setWindowTitle(QStringLiteral("Provoz linky"));
    setWindowFlag(Qt::Window);
    buildLayout();

    PauseButton->setCheckable(true);
    connect(PauseButton, &QPushButton::toggled, this, [this](bool on) {
        PauseButton->setText(on ? QStringLiteral("&Pokračovat") : QStringLiteral("&Pozastavit"));
        if (!on) refresh();
    });
    connect(ClearButton, &QPushButton::clicked, this, &TrafficWindow::clearAll);
    connect(CopyButton, &QPushButton::clicked, this, &TrafficWindow::copySelection);
    connect(SaveButton, &QPushButton::clicked, this, &TrafficWindow::saveAs);
    connect(ResetButton, &QPushButton::clicked, this, [this] {
        tap_.stats().reset();
        statsShownUs_.reset();
        updateStats();
    });
    connect(AddressFilter, &QSpinBox::valueChanged, this, [this](int a) {
        model_.setAddressFilter(a);
        Table->scrollToBottom();
    });
    connect(ErrorsOnly, &QCheckBox::toggled, this, [this](bool on) {
        model_.setErrorsOnly(on);
        Table->scrollToBottom();
    });
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &TrafficWindow::saveAs);
    auto* copy = new QShortcut(QKeySequence::Copy, Table);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &TrafficWindow::copySelection);

    RefreshTimer->setInterval(kTrafficRefreshMs);
    connect(RefreshTimer, &QTimer::timeout, this, &TrafficWindow::onTimer);
    RefreshTimer->start();
}

void TrafficWindow::buildLayout() {
    AddressFilter->setRange(-1, 255);
    AddressFilter->setSpecialValueText(QStringLiteral("všechny"));
    AddressFilter->setValue(-1);
    auto* bar = new QHBoxLayout;
    bar->addWidget(PauseButton);
    bar->addWidget(ClearButton);
    bar->addSpacing(12);
    auto* addressLabel = new QLabel(QStringLiteral("&Adresa:"), this);
    addressLabel->setBuddy(AddressFilter);
    bar->addWidget(addressLabel);
    bar->addWidget(AddressFilter);
    bar->addWidget(ErrorsOnly);
    bar->addStretch(1);
    bar->addWidget(CountLabel);
    bar->addWidget(CopyButton);
    bar->addWidget(SaveButton);

    Table->setModel(&model_);
    Table->setItemDelegate(new TrafficRowDelegate(Table));
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setWordWrap(false);
    Table->setTextElideMode(Qt::ElideNone);
    // Alternate row colours instead of a grid: the grid's lines cost a third of each repaint.
    Table->setShowGrid(false);
    Table->setAlternatingRowColors(true);
    Table->verticalHeader()->hide();
    // Fixed row heights keep scrolling through 100,000 rows cheap.
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    Table->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {96, 56, 40, 56, 84, 360};
    for (int c = 0; c < 6; ++c) Table->setColumnWidth(c, widths[c]);

    const QStringList headers = trafficStatsHeaders();
    Stats->setColumnCount(static_cast<int>(headers.size()));
    Stats->setHorizontalHeaderLabels(headers);
    Stats->verticalHeader()->hide();
    Stats->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Stats->horizontalHeader()->setStretchLastSection(true);
    Stats->setWordWrap(false);

    auto* statsBox = new QWidget(this);
    auto* statsLayout = new QVBoxLayout(statsBox);
    statsLayout->setContentsMargins(0, 0, 0, 0);
    auto* statsBar = new QHBoxLayout;
    auto* statsLabel = new QLabel(QStringLiteral("S&tatistika podle adres"), statsBox);
    statsLabel->setBuddy(Stats);
    statsBar->addWidget(statsLabel);
    statsBar->addStretch(1);
    statsBar->addWidget(ResetButton);
    statsLayout->addLayout(statsBar);
    statsLayout->addWidget(Stats);

    // The statistics keep room for the link and a handful of addresses, and take a third of
    // what a taller window adds.
    const int statsRow = Stats->verticalHeader()->defaultSectionSize();
    Stats->setMinimumHeight(Stats->horizontalHeader()->sizeHint().height() + 6 * statsRow +
                            style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                            2 * Stats->frameWidth());
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(Table);
    split->addWidget(statsBox);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split);
    resize(1100, 640);
}

void TrafficWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

std::int64_t TrafficWindow::msSince(std::int64_t monoUs) const {
    return (tap_.clock().now().monoUs - monoUs) / 1000;
}

void TrafficWindow::onTimer() {
    if (rowsAddedUs_ && msSince(*rowsAddedUs_) < kTrafficBusyRefreshMs - kTrafficRefreshMs / 2)
        return;
    refresh();
}

bool TrafficWindow::paused() const {
    return PauseButton->isChecked();
}

void TrafficWindow::refresh() {
    if (!isVisible()) return;
    // Follow the tail unless the user has scrolled up; then keep the rows in view in place.
    QScrollBar* bar = Table->verticalScrollBar();
    const int value = bar->value();
    const bool atTail = value >= bar->maximum();
    const auto change = model_.refresh(!paused());
    if (change.added > 0) {
        rowsAddedUs_ = tap_.clock().now().monoUs;
    } else {
        rowsAddedUs_.reset();
    }
    if (atTail && change.added > 0) {
        Table->scrollToBottom();
    } else if (!atTail && change.removed > 0) {
        bar->setValue(std::max(0, value - change.removed));
    }
    updateCount();
    updateStats();
}

void TrafficWindow::updateCount() {
    QString text = QStringLiteral("Rámců: %1").arg(model_.rowCount());
    if (tap_.dropped() > 0)
        text += QStringLiteral(", nejstarších zahozeno: %1").arg(tap_.dropped());
    if (CountLabel->text() != text) CountLabel->setText(text);
}

void TrafficWindow::updateStats() {
    const TrafficStats& stats = tap_.stats();
    if (stats.version() == shownStats_) return;
    // Counts are read, not watched: once a second is soon enough, and each update lays out
    // every cell of the table again.
    if (statsShownUs_ && msSince(*statsShownUs_) < kStatsRefreshMs) return;
    statsShownUs_ = tap_.clock().now().monoUs;
    shownStats_ = stats.version();
    const auto& addresses = stats.addresses();
    const int rows = static_cast<int>(addresses.size()) + 1;
    const bool newRows = Stats->rowCount() != rows;
    Stats->setRowCount(rows);
    int row = 0;
    // Fitting a column measures every cell of it: only a text that no longer fits asks for it.
    const QFontMetrics metrics(Stats->font());
    std::vector<bool> tooNarrow(static_cast<std::size_t>(Stats->columnCount()), false);
    auto put = [&](const QStringList& cells) {
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = Stats->item(row, c);
            if (item == nullptr) Stats->setItem(row, c, item = new QTableWidgetItem);
            if (item->text() == cells[c]) continue;
            item->setText(cells[c]);
            if (metrics.horizontalAdvance(cells[c]) + kStatsCellMargin > Stats->columnWidth(c))
                tooNarrow[static_cast<std::size_t>(c)] = true;
        }
        ++row;
    };
    for (const auto& [address, s] : addresses) {
        put(trafficStatsRow(address < 0 ? QStringLiteral("?") : QString::number(address), s));
    }
    put(trafficStatsRow(QStringLiteral("linka"), stats.totals()));
    if (newRows) {
        Stats->resizeColumnsToContents();
        return;
    }
    for (int c = 0; c < Stats->columnCount(); ++c)
        if (tooNarrow[static_cast<std::size_t>(c)]) Stats->resizeColumnToContents(c);
}

QString TrafficWindow::selectedText() const {
    QList<int> rows;
    for (const QModelIndex& index : Table->selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows) lines << model_.rowText(row);
    return lines.join(QLatin1Char('\n'));
}

void TrafficWindow::copySelection() {
    const QString text = selectedText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

void TrafficWindow::clearAll() {
    tap_.clear();
    model_.clearRows();
    updateCount();
}

QString withChosenExtension(const QString& path, const QString& filter) {
    if (!QFileInfo(path).suffix().isEmpty()) return path;
    return path + (filter == kCaptureFilter ? QStringLiteral(".pcap") : QStringLiteral(".txt"));
}

// The dialog adds the chosen type's extension to a bare name before it asks about replacing
// a file of that name; a dialog of the system that does not gets it added afterwards.
QString TrafficWindow::askWithDialog(QString& filter) {
    QFileDialog dialog(this, QStringLiteral("Uložit provoz linky"), QStringLiteral("provoz.pcap"),
                       kCaptureFilter + QStringLiteral(";;") + kTextFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pcap"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
        dialog.setDefaultSuffix(chosen == kCaptureFilter ? QStringLiteral("pcap")
                                                         : QStringLiteral("txt"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    filter = dialog.selectedNameFilter();
    return dialog.selectedFiles().front();
}

void TrafficWindow::saveAs() {
    QString filter = kCaptureFilter;
    const QString path = askSave_ ? askSave_(filter) : askWithDialog(filter);
    if (!path.isEmpty()) saveTo(withChosenExtension(path, filter));
}

bool TrafficWindow::saveTo(const QString& path) {
    const bool capture = path.endsWith(QStringLiteral(".pcap"), Qt::CaseInsensitive);
    const auto seqs = model_.seqs();
    const auto bytes = capture ? pcapOfFrames(tap_, seqs) : model_.textFile();
    const auto error = saveFileDurably(fileStorePath(path), bytes);
    if (!error) return true;
    ShowMessageWindow("Provoz linky nebyl uložen: " + path.toStdString(),
                      writeFailureReason(*error));
    return false;
}

}  // namespace velor
