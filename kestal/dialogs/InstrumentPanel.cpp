#include <kestal/dialogs/InstrumentPanel.h>

#include <kestal/instrument/InstrumentSession.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/stations/PanelFormat.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>

#include <QEvent>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace varno::kestal {

namespace {

QLineEdit* readOnlyEdit(QWidget* parent, bool centred = false)
{
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    if (centred)
        edit->setAlignment(Qt::AlignCenter);
    return edit;
}

QProgressBar* verticalBar(QWidget* parent)
{
    auto* bar = new QProgressBar(parent);
    bar->setOrientation(Qt::Vertical);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedHeight(80);
    return bar;
}

void setCell(QTableWidget* table, int row, int column, const QString& text)
{
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table->setItem(row, column, item);
    }
    if (item->text() != text)
        item->setText(text);
}

} // namespace

CInstrumentPanel::CInstrumentPanel(CKestalDoc& doc, QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
    , m_station(readOnlyEdit(this))
    , m_connection(readOnlyEdit(this))
    , m_instrument(nullptr)
    , m_stations(new QTreeWidget(this))
    , m_functions(new QTableWidget(this))
    , m_timer(new QTimer(this))
{
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Station"), m_station);
    form->addRow(QStringLiteral("Connection"), m_connection);

    // Identity, user level and clock.
    m_instrumentBox = new QWidget(this);
    m_instrument = readOnlyEdit(m_instrumentBox);
    m_version = readOnlyEdit(m_instrumentBox);
    m_number = readOnlyEdit(m_instrumentBox);
    m_userLevel = readOnlyEdit(m_instrumentBox);
    m_clock = readOnlyEdit(m_instrumentBox, true);
    m_numberLabel = new QLabel(QStringLiteral("No."), m_instrumentBox);
    auto* identity = new QFormLayout(m_instrumentBox);
    identity->setContentsMargins(0, 0, 0, 0);
    identity->addRow(QStringLiteral("Instrument"), m_instrument);
    identity->addRow(QStringLiteral("Version"), m_version);
    identity->addRow(m_numberLabel, m_number);
    identity->addRow(QStringLiteral("User Level"), m_userLevel);
    identity->addRow(QStringLiteral("Clock"), m_clock);

    // Batteries.
    m_batteryBox = new QWidget(this);
    m_internalBar = verticalBar(m_batteryBox);
    m_externalBar = verticalBar(m_batteryBox);
    m_internalVoltage = readOnlyEdit(m_batteryBox, true);
    m_externalVoltage = readOnlyEdit(m_batteryBox, true);
    for (QLineEdit* e : {m_internalVoltage, m_externalVoltage})
        e->setFixedWidth(QFontMetrics(e->font()).horizontalAdvance(QStringLiteral("00.0V")) + 16);
    auto* batteries = new QGridLayout(m_batteryBox);
    batteries->setContentsMargins(0, 0, 0, 0);
    batteries->addWidget(new QLabel(QStringLiteral("Battery"), m_batteryBox), 0, 0, 1, 2, Qt::AlignCenter);
    batteries->addWidget(m_internalBar, 1, 0, Qt::AlignHCenter);
    batteries->addWidget(m_externalBar, 1, 1, Qt::AlignHCenter);
    batteries->addWidget(m_internalVoltage, 2, 0);
    batteries->addWidget(m_externalVoltage, 2, 1);
    batteries->addWidget(new QLabel(QStringLiteral("int."), m_batteryBox), 3, 0, Qt::AlignCenter);
    batteries->addWidget(new QLabel(QStringLiteral("ext."), m_batteryBox), 3, 1, Qt::AlignCenter);

    // Memory.
    m_memoryBox = new QWidget(this);
    m_memoryBar = verticalBar(m_memoryBox);
    m_memory = readOnlyEdit(m_memoryBox, true);
    m_memory->setFixedWidth(QFontMetrics(m_memory->font()).horizontalAdvance(QStringLiteral("100%")) + 16);
    m_memoryLabel = new QLabel(QStringLiteral("Memory"), m_memoryBox);
    m_freeLabel = new QLabel(QStringLiteral("free"), m_memoryBox);
    auto* memory = new QVBoxLayout(m_memoryBox);
    memory->setContentsMargins(0, 0, 0, 0);
    memory->addWidget(m_memoryLabel, 0, Qt::AlignCenter);
    memory->addWidget(m_memoryBar, 1, Qt::AlignHCenter);
    memory->addWidget(m_memory);
    memory->addWidget(m_freeLabel, 0, Qt::AlignCenter);

    auto* gauges = new QHBoxLayout;
    gauges->addWidget(m_batteryBox);
    gauges->addSpacing(12);
    gauges->addWidget(m_memoryBox);
    gauges->addStretch();

    // Function list: its columns fit their texts and the pane (fitFunctionColumns).
    const QStringList headers{QStringLiteral("function"), QStringLiteral("value "), QStringLiteral("mean  "),
                              QStringLiteral("sigma "), QStringLiteral("min   "), QStringLiteral("max   ")};
    m_functions->setColumnCount(int(headers.size()));
    m_functions->setHorizontalHeaderLabels(headers);
    m_functions->verticalHeader()->hide();
    m_functions->setShowGrid(true);
    m_functions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_functions->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_functions->verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 4);
    m_functions->viewport()->installEventFilter(this);

    m_stations->setColumnCount(3);
    m_stations->setHeaderLabels({QStringLiteral("station"), QStringLiteral("connection"),
                                 QStringLiteral("data path")});
    m_stations->setRootIsDecorated(false);
    m_stations->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stations->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stations->setContextMenuPolicy(Qt::CustomContextMenu);
    // Connection and data path are kept for the program, not shown.
    m_stations->header()->setStretchLastSection(false);
    m_stations->header()->setMinimumSectionSize(0);
    m_stations->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_stations->header()->resizeSection(1, 0);
    m_stations->header()->resizeSection(2, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addLayout(form);
    layout->addWidget(m_instrumentBox);
    layout->addLayout(gauges);
    layout->addSpacing(8);
    layout->addWidget(m_stations, 1);
    layout->addWidget(m_functions, 1);

    connect(m_stations, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { selectRow(item); });
    connect(m_stations, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        selectRow(item);
        emit connectRequested();
    });
    connect(m_stations, &QWidget::customContextMenuRequested, this, &CInstrumentPanel::showContextMenu);
    m_stations->setFocus();

    // Ticks never overlap: the timer is started again at the end of each tick.
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &CInstrumentPanel::tick);
    connect(&m_doc, &CKestalDoc::closing, m_timer, &QTimer::stop);
    if (m_doc.Timing().panelTickMs > 0)
        m_timer->start(m_doc.Timing().panelTickMs);
    Refresh();
}

bool CInstrumentPanel::eventFilter(QObject* watched, QEvent* event)
{
    // A new width of the pane, or a vertical scroll bar coming or going.
    if (watched == m_functions->viewport() && event->type() == QEvent::Resize)
        fitFunctionColumns();
    return QWidget::eventFilter(watched, event);
}

void CInstrumentPanel::fitFunctionColumns()
{
    // Where the pane is short of room, first the blanks that end the headers give way, then
    // the headers' words; the values never do.
    const QHeaderView* header = m_functions->horizontalHeader();
    const QAbstractItemView* view = m_functions; // the table's own override is protected
    std::vector<int> cells, label, whole;
    for (int c = 0; c < m_functions->columnCount(); ++c) {
        const QString text = m_functions->horizontalHeaderItem(c)->text();
        const int blanks = header->fontMetrics().horizontalAdvance(text.mid(text.trimmed().size()));
        cells.push_back(view->sizeHintForColumn(c));
        label.push_back(std::max(cells.back(), header->sectionSizeHint(c) - blanks));
        whole.push_back(std::max(cells.back(), header->sectionSizeHint(c)));
    }
    const int room = m_functions->viewport()->width();
    std::vector<int> widths = FitColumnWidths(label, whole, room);
    if (widths == label)
        widths = FitColumnWidths(cells, label, room);
    // Unchanged texts keep the widths, and with them any the user dragged.
    if (widths == m_columnWidths)
        return;
    m_columnWidths = widths;
    for (int c = 0; c < int(widths.size()); ++c)
        m_functions->setColumnWidth(c, widths[size_t(c)]);
}

void CInstrumentPanel::selectRow(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const int index = m_stations->indexOfTopLevelItem(item);
    if (index >= 0 && index != m_doc.GetSelectedStation())
        m_doc.SelectStation(index);
}

QMenu* CInstrumentPanel::contextMenu()
{
    if (!m_menu) {
        m_menu = new QMenu(this);
        m_menu->addAction(QStringLiteral("&Connect..."), this, &CInstrumentPanel::connectRequested);
        m_menu->addAction(QStringLiteral("&Edit Station Properties..."), this,
                          &CInstrumentPanel::editStationRequested);
    }
    return m_menu;
}

void CInstrumentPanel::showContextMenu(const QPoint& pos)
{
    QTreeWidgetItem* item = m_stations->itemAt(pos);
    if (item)
        m_stations->setCurrentItem(item);
    if (m_doc.IsConnected())
        return;
    QTreeWidgetItem* current = m_stations->currentItem();
    const QRect rect = current ? m_stations->visualItemRect(current) : QRect();
    const QPoint at = current ? rect.topLeft() + QPoint(80, 10) : pos;
    contextMenu()->popup(m_stations->viewport()->mapToGlobal(at));
}

void CInstrumentPanel::FocusList()
{
    QWidget* shown = m_stations->isHidden() ? static_cast<QWidget*>(m_functions) : m_stations;
    shown->setFocus();
}

void CInstrumentPanel::showInstrument(bool connected)
{
    m_instrumentBox->setVisible(connected);
    m_batteryBox->setVisible(connected);
    m_memoryBox->setVisible(connected);
    m_functions->setVisible(connected);
    if (!connected) {
        m_numberLabel->hide();
        m_number->hide();
    }
    m_stations->setVisible(!connected);
}

void CInstrumentPanel::showClock()
{
    m_clock->setText(ClockText(m_doc.Timing().now().addSecs(m_clockOffset), m_statusFlags));
}

void CInstrumentPanel::Refresh()
{
    m_station->setText(m_doc.GetStationName());
    m_connection->setText(m_doc.GetStationConnection());
    if (m_doc.IsConnected() && m_doc.GetLink()) {
        refreshConnected();
    } else {
        showInstrument(false);
        refreshStations();
    }
}

void CInstrumentPanel::refreshConnected()
{
    CQuorvalin& link = *m_doc.GetLink();
    link.Lock(-1);
    m_connection->setText(qtsupport::textFromBytes(link.GetConnectionText()));
    showInstrument(true);

    const uint32_t flags = link.GetStatusFlags();
    const bool memoryShown = !(flags & 0x400);
    m_memoryBox->setVisible(memoryShown);
    const uint32_t serial = link.GetSerialNumber();
    m_numberLabel->setVisible(serial != 0);
    m_number->setVisible(serial != 0);

    m_userLevel->setText(UserLevelWord(link.GetUserLevel()));
    m_instrument->setText(qtsupport::textFromBytes(link.GetInstrumentType()));
    m_version->setText(VersionText(link.GetFirmwareVersion()));
    m_number->setText(SerialText(serial));

    m_clockOffset = ClockOffsetSeconds(link.GetClockOffset());
    m_statusFlags = flags;
    showClock();

    m_internalVoltage->setText(VoltageText(link.GetBatteryVoltage(0)));
    m_externalVoltage->setText(VoltageText(link.GetBatteryVoltage(1)));
    m_internalBar->setValue(std::clamp(BatteryBar(link.GetBatteryCharge(0)), 0, 100));
    m_externalBar->setValue(std::clamp(BatteryBar(link.GetBatteryCharge(1)), 0, 100));

    const int percent = MemoryPercent(link.GetFreeMemory());
    m_memory->setText(QString::asprintf("%i%%", percent));
    m_memoryBar->setValue(percent);

    // Function table: values and statistics as the jobs last fetched them.
    double values[kMaxPanelValues] = {};
    double stats[kMaxPanelStatistics] = {};
    const int n = std::clamp(link.GetValues(values, kMaxPanelValues), 0, kMaxPanelValues);
    const int m = std::clamp(link.GetStatistics(stats, kMaxPanelStatistics), 0, kMaxPanelStatistics);
    std::vector<std::string> names;
    std::vector<int> statistics;
    for (int i = 0; i < n; ++i) {
        names.push_back(link.GetFunctionName(i));
        statistics.push_back(link.GetFunctionStatistics(i));
    }
    link.Unlock();

    const std::vector<FunctionRow> rows = FunctionTable(names, values, n, statistics, stats, m);
    m_functions->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        const FunctionRow& r = rows[size_t(i)];
        const QString cells[] = {r.name, r.value, r.mean, r.sigma, r.min, r.max};
        for (int c = 0; c < 6; ++c)
            setCell(m_functions, i, c, cells[c]);
    }
    fitFunctionColumns();
}

void CInstrumentPanel::refreshStations()
{
    // Rebuilt only when it differs, so that the user's selection and scrolling stay.
    int count = 0;
    bool same = true;
    for (; !m_doc.StationName(count).isEmpty(); ++count) {
        const QTreeWidgetItem* row = m_stations->topLevelItem(count);
        if (!row || row->text(0) != m_doc.StationName(count) ||
            row->text(1) != m_doc.StationConnection(count))
            same = false;
    }
    if (!same || count != m_stations->topLevelItemCount()) {
        const QSignalBlocker block(m_stations);
        m_stations->clear();
        for (int i = 0; i < count; ++i)
            m_stations->addTopLevelItem(new QTreeWidgetItem(
                {m_doc.StationName(i), m_doc.StationConnection(i), m_doc.StationFolderPath(i) + "/vrn"}));
    }
    const int selected = m_doc.GetSelectedStation();
    if (selected >= 0 && selected < m_stations->topLevelItemCount() &&
        m_stations->currentItem() != m_stations->topLevelItem(selected)) {
        const QSignalBlocker block(m_stations);
        m_stations->setCurrentItem(m_stations->topLevelItem(selected));
    }
}

void CInstrumentPanel::tick()
{
    m_timer->stop();
    // The clock goes on without asking the instrument.
    if (m_doc.IsConnected())
        showClock();
    CQuorvalin* link = m_doc.GetLink();
    RefreshCountdowns& countdowns = ProgramCountdowns();
    // Only when nobody uses the link: inside a transfer, a connect or a setting this skips.
    if (link && link->TryLock()) {
        if (m_doc.IsConnected() && !link->IsConnected())
            ReportDroppedLine(m_doc);
        Refresh();
        if (countdowns.StepValues()) {
            m_doc.StartValuesJob();
            countdowns.RestartValues(link->GetSamplePeriod());
        }
        link->Unlock();
    }
    if (countdowns.StepStatus())
        m_doc.StartStatusJob();
    if (m_doc.Timing().panelTickMs > 0)
        m_timer->start(m_doc.Timing().panelTickMs);
}

CLeftView::CLeftView(CKestalDoc& doc, QWidget* parent)
    : QWidget(parent)
    , m_panel(new CInstrumentPanel(doc, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_panel);
    connect(&doc, &CKestalDoc::changed, m_panel, &CInstrumentPanel::Refresh);
}

} // namespace varno::kestal
