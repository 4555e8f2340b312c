#include "ui/monitorwindow.h"

#include "capture/chunkstore.h"
#include "ui/chunkmodel.h"
#include "ui/chunktext.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace loomway {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, bool checked) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    return box;
}

} // namespace

MonitorWindow::MonitorWindow(ChunkStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_store(store) {
    setObjectName(QStringLiteral("MonitorWindow"));
    setWindowTitle(QStringLiteral("Traffic Monitor"));
    m_model = new ChunkModel(store, this);

    m_follow = checkBox(this, "follow", QStringLiteral("&Follow newest"), true);
    m_wallClock = checkBox(this, "wallClock", QStringLiteral("&Wall clock"), false);
    QPushButton* clear = button(this, "clear", QStringLiteral("C&lear"));
    QPushButton* copy = button(this, "copy", QStringLiteral("&Copy as Hex Dump"));
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("Find text or hex bytes"));
    m_search->setClearButtonEnabled(true);
    m_hexSearch = checkBox(this, "hexSearch", QStringLiteral("&Hex"), false);
    QPushButton* previous = button(this, "previous", QStringLiteral("&Previous"));
    QPushButton* next = button(this, "next", QStringLiteral("&Next"));
    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("counts"));

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("chunks"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    m_view->verticalHeader()->hide();
    // Fixed row heights and column widths: a hundred thousand rows cost no
    // more to lay out than a screenful.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    QHeaderView* columns = m_view->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setStretchLastSection(true);
    QFont fixed = m_view->font();
    fixed.setFamily(QStringLiteral("monospace"));
    fixed.setStyleHint(QFont::TypeWriter);
    // Hex and printable ASCII need no shaping; a repaint of the table, which
    // stops the relay while it lasts, then costs a fraction.
    fixed.setStyleStrategy(QFont::PreferNoShaping);
    m_view->setFont(fixed);
    const int ch = QFontMetrics(fixed).horizontalAdvance(QLatin1Char('0'));
    const int widths[] = {12,
                          19,
                          11,
                          8,
                          static_cast<int>(ChunkModel::kCellBytes) * 3 + 3,
                          static_cast<int>(ChunkModel::kCellBytes) + 3};
    for (int column = 0; column < static_cast<int>(std::size(widths)); ++column) {
        m_view->setColumnWidth(column, widths[column] * ch);
    }

    auto* copyAction = new QAction(QStringLiteral("&Copy as Hex Dump"), m_view);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_view->addAction(copyAction);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* top = new QHBoxLayout;
    top->addWidget(m_follow);
    top->addWidget(m_wallClock);
    top->addWidget(clear);
    top->addWidget(copy);
    top->addSpacing(12);
    top->addWidget(m_search, 1);
    top->addWidget(m_hexSearch);
    top->addWidget(previous);
    top->addWidget(next);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_counts);
    resize(150 * ch, 40 * m_view->verticalHeader()->defaultSectionSize());

    m_latest.setSingleShot(true);
    m_latest.setInterval(kLatestMs);
    connect(&m_latest, &QTimer::timeout, this, &MonitorWindow::Sync);
    connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            m_view->scrollToBottom();
        }
    });
    // Scrolling away from the newest row pauses the following.
    connect(m_view->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        QScrollBar* bar = m_view->verticalScrollBar();
        if (bar->sliderPosition() < bar->maximum()) {
            m_follow->setChecked(false);
        }
    });
    connect(m_wallClock, &QCheckBox::toggled, m_model, &ChunkModel::SetWallClock);
    connect(clear, &QPushButton::clicked, this, [this] {
        m_model->Clear();
        ShowCounts();
    });
    connect(copy, &QPushButton::clicked, this, &MonitorWindow::CopySelection);
    connect(copyAction, &QAction::triggered, this, &MonitorWindow::CopySelection);
    connect(next, &QPushButton::clicked, this, [this] { FindNext(true); });
    connect(previous, &QPushButton::clicked, this, [this] { FindNext(false); });
    connect(m_search, &QLineEdit::returnPressed, this, [this] { FindNext(true); });
    connect(m_search, &QLineEdit::textChanged, this,
            [this] { m_search->setStyleSheet(QString()); });
    ShowCounts();
}

MonitorWindow::~MonitorWindow() = default;

void MonitorWindow::OnChunk(ChunkDirection, bool, const std::string&) {
    if (!m_dirty && isVisible()) {
        m_dirty = true;
        m_latest.start();
    }
}

void MonitorWindow::SyncIfDirty() {
    if (m_dirty && (!m_sinceSync.isValid() || m_sinceSync.elapsed() >= kEveryMs)) {
        Sync();
    }
}

void MonitorWindow::Open() {
    show();
    raise();
    activateWindow();
}

void MonitorWindow::Sync() {
    m_latest.stop();
    m_dirty = false;
    m_sinceSync.start();
    const int before = m_model->rowCount();
    m_model->Sync();
    if (m_follow->isChecked() && m_model->rowCount() != before) {
        m_view->scrollToBottom();
    }
    ShowCounts();
}

void MonitorWindow::ShowCounts() {
    m_counts->setText(QStringLiteral("%1 chunks shown, %2 dropped")
                          .arg(m_model->rowCount())
                          .arg(m_store.Dropped()));
}

bool MonitorWindow::Following() const {
    return m_follow->isChecked();
}

void MonitorWindow::SetFollowing(bool follow) {
    m_follow->setChecked(follow);
}

bool MonitorWindow::FindNext(bool forward) {
    const QString typed = m_search->text();
    std::string pattern;
    if (m_hexSearch->isChecked()) {
        const std::optional<std::string> bytes = ParseHexBytes(typed.toStdString());
        if (!bytes) {
            m_search->setStyleSheet(QStringLiteral("background: #ffd0d0"));
            m_search->setToolTip(QStringLiteral("Not hex bytes: pairs of digits 0-9, A-F"));
            return false;
        }
        pattern = *bytes;
    } else {
        // The text as the line carries it: characters up to 255 are one byte each.
        const QByteArray latin1 = typed.toLatin1();
        pattern.assign(latin1.constData(), static_cast<std::size_t>(latin1.size()));
    }
    m_search->setToolTip(QString());
    const QModelIndex current = m_view->currentIndex();
    const int from = current.isValid() ? current.row() : (forward ? -1 : 0);
    const int row = m_model->Find(pattern, from, forward, !m_hexSearch->isChecked());
    if (row < 0) {
        m_search->setStyleSheet(QStringLiteral("background: #ffd0d0"));
        return false;
    }
    m_search->setStyleSheet(QString());
    m_follow->setChecked(false);
    m_view->selectRow(row);
    m_view->scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtCenter);
    return true;
}

void MonitorWindow::CopySelection() {
    std::vector<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    if (rows.empty()) {
        return;
    }
    QGuiApplication::clipboard()->setText(m_model->HexDump(std::move(rows)));
}

void MonitorWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Sync();
}

} // namespace loomway
