#include "traffic/TrafficTableModel.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QTime>

namespace velor {

namespace {

constexpr std::size_t kShownBytes = 40;
// Rows of frames the tap has dropped go in batches (2 % of the rows, at most 2000): every removal
// at the top costs the view a pass over all its rows. Until then they sit above the view, empty.
constexpr std::size_t kPruneBatch = 2000;
constexpr std::size_t kPrunePerCent = 2;

const char* const kHeaders[] = {"Čas", "Δ ms", "Směr", "Adresa", "Druh", "Bajty", "Verdikt"};

QString hexText(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size() * 3));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) out += QLatin1Char(' ');
        out += QLatin1Char(digits[bytes[i] >> 4]);
        out += QLatin1Char(digits[bytes[i] & 15]);
    }
    return out;
}

}  // namespace

QString trafficTimeText(std::int64_t wallUs) {
    // The local offset is looked up once an hour, not for every row painted.
    constexpr std::int64_t kHourMs = 3'600'000;
    constexpr std::int64_t kDayMs = 24 * kHourMs;
    static std::int64_t hour = -1;
    static std::int64_t offsetMs = 0;
    const std::int64_t ms = wallUs / 1000;
    if (ms / kHourMs != hour) {
        hour = ms / kHourMs;
        offsetMs = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc() * std::int64_t{1000};
    }
    const std::int64_t ofDay = ((ms + offsetMs) % kDayMs + kDayMs) % kDayMs;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ofDay))
        .toString(QStringLiteral("hh:mm:ss.zzz"));
}

TrafficTableModel::TrafficTableModel(const TrafficTap& tap, QObject* parent)
    : QAbstractTableModel(parent), tap_(tap), nextSeq_(tap.firstSeq()) {}

int TrafficTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TrafficTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const TrafficFrame* TrafficTableModel::frameAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return nullptr;
    return tap_.frame(rows_[static_cast<std::size_t>(row)]);
}

bool TrafficTableModel::isError(int row) const {
    const TrafficFrame* f = frameAt(row);
    return f != nullptr && isErrorVerdict(f->verdict);
}

QString TrafficTableModel::cellText(int row, int column) const {
    const TrafficFrame* f = frameAt(row);
    if (f == nullptr) return {};
    switch (column) {
        case Time:
            return trafficTimeText(f->time.wallUs);
        case Delta: {
            const TrafficFrame* before = frameAt(row - 1);
            if (before == nullptr) return {};
            return QString::number((f->time.monoUs - before->time.monoUs + 500) / 1000);
        }
        case Way:
            return f->direction == Direction::Tx ? QStringLiteral("TX") : QStringLiteral("RX");
        case Address:
            return f->address < 0 ? QString() : QString::number(f->address);
        case Kind:
            return QString::fromStdString(requestKindName(f->kind));
        case Bytes:
            return hexText(tap_.bytes(*f));
        case Text:
            return QString::fromStdString(verdictText(f->verdict, tap_.bytes(*f)));
        default:
            return {};
    }
}

QVariant TrafficTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) {
        if (index.column() != Bytes) return cellText(index.row(), index.column());
        // What a column can show; copy and save take every byte.
        const TrafficFrame* f = frameAt(index.row());
        if (f == nullptr) return {};
        const auto bytes = tap_.bytes(*f);
        if (bytes.size() <= kShownBytes) return hexText(bytes);
        return hexText(bytes.first(kShownBytes)) + QStringLiteral(" …");
    }
    if (role == Qt::BackgroundRole && isError(index.row())) return QBrush(QColor(255, 218, 218));
    if (role == Qt::ForegroundRole && index.column() == Text && isError(index.row()))
        return QBrush(QColor(160, 0, 0));
    if (role == Qt::TextAlignmentRole && (index.column() == Delta || index.column() == Address))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    if (section < 0 || section >= ColumnCount) return {};
    return QString::fromUtf8(kHeaders[section]);
}

bool TrafficTableModel::passes(const TrafficFrame& f) const {
    if (address_ >= 0 && f.address != address_) return false;
    return !errorsOnly_ || isErrorVerdict(f.verdict);
}

TrafficTableModel::Change TrafficTableModel::refresh(bool appendNew) {
    Change change;
    std::size_t gone = 0;
    while (gone < rows_.size() && rows_[gone] < tap_.firstSeq()) ++gone;
    const bool batch = gone >= kPruneBatch || gone * 100 >= rows_.size() * kPrunePerCent;
    if (gone > 0 && (batch || !appendNew)) {
        beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(gone));
        endRemoveRows();
        change.removed = static_cast<int>(gone);
    }
    if (!appendNew) return change;
    nextSeq_ = std::max(nextSeq_, tap_.firstSeq());
    std::vector<std::uint64_t> added;
    for (; nextSeq_ < tap_.nextSeq(); ++nextSeq_) {
        if (passes(*tap_.frame(nextSeq_))) added.push_back(nextSeq_);
    }
    if (added.empty()) return change;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
    rows_.insert(rows_.end(), added.begin(), added.end());
    endInsertRows();
    change.added = static_cast<int>(added.size());
    return change;
}

void TrafficTableModel::rebuild() {
    beginResetModel();
    rows_.clear();
    for (std::uint64_t seq = tap_.firstSeq(); seq < nextSeq_ && seq < tap_.nextSeq(); ++seq) {
        if (passes(*tap_.frame(seq))) rows_.push_back(seq);
    }
    endResetModel();
}

void TrafficTableModel::setAddressFilter(int address) {
    if (address == address_) return;
    address_ = address;
    rebuild();
}

void TrafficTableModel::setErrorsOnly(bool errorsOnly) {
    if (errorsOnly == errorsOnly_) return;
    errorsOnly_ = errorsOnly;
    rebuild();
}

void TrafficTableModel::clearRows() {
    beginResetModel();
    rows_.clear();
    nextSeq_ = tap_.nextSeq();
    endResetModel();
}

QString TrafficTableModel::rowText(int row) const {
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c) cells << cellText(row, c);
    return cells.join(QLatin1Char('\t'));
}

std::vector<std::uint64_t> TrafficTableModel::seqs() const {
    return {rows_.begin(), rows_.end()};
}

std::vector<std::uint8_t> TrafficTableModel::textFile() const {
    QStringList headers;
    for (const char* h : kHeaders) headers << QString::fromUtf8(h);
    QByteArray out = headers.join(QLatin1Char('\t')).toUtf8() + '\n';
    for (int row = 0; row < rowCount(); ++row) out += rowText(row).toUtf8() + '\n';
    return {out.begin(), out.end()};
}

}  // namespace velor
