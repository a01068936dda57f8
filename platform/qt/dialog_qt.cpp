#include "platform/qt/dialog_qt.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace platform {

// The client area: paints the skin and whatever the dialog draws over it.
class CDialogClient : public QWidget {
public:
    explicit CDialogClient(CDialog* dialog) : QWidget(dialog), m_dialog(dialog) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_dialog->PaintClient(painter);
    }
    void resizeEvent(QResizeEvent*) override { m_dialog->LayOutControls(); }

private:
    CDialog* m_dialog;
};

namespace {

const char* const kIdProperty = "dlgId";

QString Utf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

Qt::Alignment StaticAlignment(unsigned style) {
    if (style & CS_RIGHT)
        return Qt::AlignRight | Qt::AlignTop;
    if (style & CS_CENTER)
        return Qt::AlignHCenter | Qt::AlignTop;
    return Qt::AlignLeft | Qt::AlignTop;
}

bool IsFilteredInput(QEvent::Type type) {
    return type == QEvent::KeyPress || type == QEvent::KeyRelease ||
           type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
           type == QEvent::MouseButtonDblClick;
}

} // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(dialogTemplate) {
    const QFont font = DialogFont(m_template.fontFace, m_template.pointSize);
    setFont(font);
    m_baseUnits = BaseUnitsOf(font);

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_template.style & DS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (m_template.style & DS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(Utf8(m_template.caption));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildMenuBar();
    if (m_menuBar)
        layout->setMenuBar(m_menuBar);
    m_client = new CDialogClient(this);
    m_designedClient = DluToPixels(QSize(m_template.cx, m_template.cy), m_baseUnits);
    if (m_template.style & DS_THICKFRAME) {
        // The template's size is the least; the anchored controls follow.
        setWindowFlag(Qt::WindowMaximizeButtonHint);
        setSizeGripEnabled(true);
        m_client->setMinimumSize(m_designedClient);
        m_client->resize(m_designedClient);
    } else {
        layout->setSizeConstraint(QLayout::SetFixedSize);
        m_client->setFixedSize(m_designedClient);
    }
    layout->addWidget(m_client);

    m_systemMenu = new QMenu(this);
    if (m_template.style & DS_MINIMIZEBOX)
        m_systemMenu->addAction(tr("Mi&nimize"), this, [this] { OnSysCommand(SC_MINIMIZE); });
    m_systemMenu->addAction(tr("&Close"), this, [this] { OnSysCommand(SC_CLOSE); });

    installEventFilter(this);
    m_client->installEventFilter(this);
}

CDialog::~CDialog() = default;

void CDialog::BuildMenuBar() {
    if (m_template.menu == nullptr)
        return;
    m_menuBar = new QMenuBar(this);
    for (const MenuItemTemplate& item : m_template.menu->items) {
        QMenu* popup = m_menuBar->addMenu(Utf8(item.text));
        AddMenuItems(popup, item.popup);
    }
}

void CDialog::AddMenuItems(QMenu* menu, std::span<const MenuItemTemplate> items) {
    for (const MenuItemTemplate& item : items) {
        if (item.text == nullptr) {
            menu->addSeparator();
        } else if (!item.popup.empty()) {
            AddMenuItems(menu->addMenu(Utf8(item.text)), item.popup);
        } else {
            QAction* action = menu->addAction(Utf8(item.text));
            action->setEnabled(!item.disabled);
            const int id = item.id;
            connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
            m_menuActions[id] = action;
        }
    }
}

void CDialog::CreateFromTemplate() {
    for (auto& [id, widget] : m_controls)
        delete widget;
    m_controls.clear();
    m_anchored.clear();
    // Unaddressed controls carry no id; they are children of the client too.
    for (QWidget* child : m_client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        delete child;

    std::vector<QWidget*> groupBoxes;
    for (const ControlTemplate& control : m_template.controls) {
        QWidget* widget = BuildControl(control);
        if (control.kind == ControlKind::GroupBox)
            groupBoxes.push_back(widget);
        if (control.id != IDC_STATIC)
            m_controls[control.id] = widget;
        if (control.anchor != AN_NONE)
            m_anchored.push_back({widget, widget->geometry(), control.anchor});
    }
    LayOutControls();
    // A group box only frames its neighbours: keep it under them and let
    // their clicks through.
    for (QWidget* box : groupBoxes) {
        box->lower();
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    OnInitDialog();
}

QWidget* CDialog::BuildControl(const ControlTemplate& control) {
    QWidget* widget = nullptr;
    if (auto factory = m_factories.find(control.id); factory != m_factories.end())
        widget = factory->second(m_client);
    if (widget == nullptr)
        widget = CreateControl(control, m_client);
    const QString text = Utf8(control.text);
    const QSize pixelSize =
        DluToPixels(QRect(control.x, control.y, control.cx, control.cy), m_baseUnits).size();
    if (widget == nullptr) {
        switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(m_client);
            button->setDefault(control.kind == ControlKind::DefPushButton);
            widget = button;
            break;
        }
        case ControlKind::GroupBox:
            widget = new QGroupBox(m_client);
            break;
        case ControlKind::Static:
            widget = new QLabel(m_client);
            break;
        case ControlKind::Icon:
        case ControlKind::Bitmap: {
            auto* picture = new QLabel(m_client);
            picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (m_template.images) {
                // Icons come at their natural 32 pixels, not stretched to the
                // box the template gives in dialog units: scaled, they blur.
                const QSize size = control.kind == ControlKind::Icon ? QSize(32, 32) : pixelSize;
                picture->setPixmap(m_template.images(control.resource, size));
            }
            widget = picture;
            break;
        }
        case ControlKind::CheckBox:
            widget = new QCheckBox(m_client);
            break;
        case ControlKind::RadioButton:
            widget = new QRadioButton(m_client);
            break;
        case ControlKind::ListView: {
            auto* list = new QTreeWidget(m_client);
            list->setRootIsDecorated(false);
            list->setUniformRowHeights(true);
            list->setColumnCount(0);
            list->setSelectionMode((control.style & CS_SINGLESEL)
                                       ? QAbstractItemView::SingleSelection
                                       : QAbstractItemView::ExtendedSelection);
            list->header()->setStretchLastSection(false);
            widget = list;
            break;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(m_client);
            bar->setOrientation((control.style & CS_VERTICAL) ? Qt::Vertical : Qt::Horizontal);
            widget = bar;
            break;
        }
        case ControlKind::Placeholder:
            widget = new QWidget(m_client);
            break;
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(m_client);
            if (control.style & CS_PASSWORD)
                edit->setEchoMode(QLineEdit::Password);
            widget = edit;
            break;
        }
        }
    }

    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (control.kind != ControlKind::Icon && control.kind != ControlKind::Bitmap) {
            label->setText(text);
            label->setAlignment(StaticAlignment(control.style));
        }
        if (control.style & CS_BORDER)
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
        const int id = control.id;
        if (id != IDC_STATIC)
            connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(text);
    }
    widget->setProperty(kIdProperty, control.id);
    if (control.id != IDC_STATIC)
        widget->setObjectName(QStringLiteral("id_%1").arg(control.id));
    // Labels, check boxes, radio buttons and buttons let the skin through.
    widget->setAutoFillBackground(false);
    QRect geometry = DluToPixels(QRect(control.x, control.y, control.cx, control.cy), m_baseUnits);
    if (control.kind == ControlKind::Icon)
        geometry.setSize(QSize(32, 32));
    widget->setGeometry(geometry);
    widget->setEnabled(!(control.style & CS_DISABLED));
    widget->setVisible(!(control.style & CS_HIDDEN));

    widget->installEventFilter(this);
    for (QWidget* inner : widget->findChildren<QWidget*>())
        inner->installEventFilter(this);
    return widget;
}

void CDialog::LayOutControls() {
    const int grownX = std::max(0, m_client->width() - m_designedClient.width());
    const int grownY = std::max(0, m_client->height() - m_designedClient.height());
    for (const Anchored& control : m_anchored) {
        if (control.widget.isNull())
            continue;
        QRect place = control.designed;
        if (control.anchor & AN_RIGHT)
            place.translate(grownX, 0);
        if (control.anchor & AN_HCENTRE)
            place.translate(grownX / 2, 0);
        if (control.anchor & AN_BOTTOM)
            place.translate(0, grownY);
        if (control.anchor & AN_WIDTH)
            place.setWidth(place.width() + grownX);
        if (control.anchor & AN_HEIGHT)
            place.setHeight(place.height() + grownY);
        control.widget->setGeometry(place);
    }
}

QWidget* CDialog::CreateControl(const ControlTemplate&, QWidget*) {
    return nullptr;
}

int CDialog::DoModal() {
    CreateFromTemplate();
    if (m_placeOf.isValid() && (m_template.style & DS_THICKFRAME)) {
        // No smaller than its least size: the window keeps to that.
        adjustSize();
        resize(m_placeOf.size());
        move(m_placeOf.topLeft());
        m_placeOf = QRect();
        return exec();
    }
    if (m_template.style & DS_CENTER) {
        adjustSize();
        const QWidget* anchor = parentWidget();
        const QRect area = anchor ? anchor->window()->frameGeometry()
                                  : (screen() ? screen()->availableGeometry() : QRect());
        if (area.isValid())
            move(area.center() - rect().center());
    }
    return exec();
}

void CDialog::EndDialog(int result) {
    done(result);
}

void CDialog::ShowWindow(bool visible) {
    if (visible)
        showNormal();
    else
        QWidget::setVisible(false);
}

QRect CDialog::MapDialogRect(const QRect& units) const {
    return DluToPixels(units, m_baseUnits);
}

QWidget* CDialog::GetDlgItem(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* widget = GetDlgItem(id);
    if (auto* own = dynamic_cast<IWindowText*>(widget))
        own->SetWindowText(text);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(widget))
        box->setTitle(text);
}

QString CDialog::GetDlgItemText(int id) const {
    QWidget* widget = GetDlgItem(id);
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* box = qobject_cast<QGroupBox*>(widget))
        return box->title();
    return QString();
}

bool CDialog::IsDlgButtonChecked(int id) const {
    auto* button = GetDlgItemAs<QAbstractButton>(id);
    return button != nullptr && button->isChecked();
}

void CDialog::CheckDlgButton(int id, bool checked) {
    if (auto* button = GetDlgItemAs<QAbstractButton>(id)) {
        button->setCheckable(true);
        button->setChecked(checked);
    }
}

void CDialog::SetCommandHandler(int id, CommandHandler handler) {
    m_handlers[id] = std::move(handler);
}

bool CDialog::OnCommand(int id) {
    if (auto handler = m_handlers.find(id); handler != m_handlers.end() && handler->second) {
        handler->second();
        return true;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void CDialog::OnSysCommand(int id) {
    if (id == SC_CLOSE)
        OnClose();
    else if (id == SC_MINIMIZE)
        showMinimized();
}

bool CDialog::EnableMenuItem(int id, bool enabled) {
    QAction* action = MenuAction(id);
    if (action == nullptr)
        return false;
    action->setEnabled(enabled);
    return true;
}

bool CDialog::IsMenuItemEnabled(int id) const {
    const QAction* action = MenuAction(id);
    return action != nullptr && action->isEnabled();
}

QAction* CDialog::MenuAction(int id) const {
    const auto found = m_menuActions.find(id);
    return found == m_menuActions.end() ? nullptr : found->second;
}

void CDialog::AppendSystemMenuSeparator() {
    m_systemMenu->addSeparator();
}

void CDialog::AppendSystemMenuItem(int id, const QString& text) {
    m_systemMenu->addAction(text, this, [this, id] { OnSysCommand(id); });
}

void CDialog::ShowSystemMenu() {
    if (!(m_template.style & DS_SYSMENU))
        return;
    m_systemMenu->popup(mapToGlobal(QPoint(0, 0)));
}

bool CDialog::LoadSkin(const QString& path) {
    m_skin = QPixmap();
    if (!path.isEmpty())
        m_skin.load(path);
    m_client->update();
    return !m_skin.isNull();
}

void CDialog::PaintClient(QPainter& painter) {
    if (!m_skin.isNull())
        painter.drawPixmap(0, 0, m_skin);
    if (!m_skin.isNull() && (m_template.style & DS_THICKFRAME)) {
        // A window the user enlarged past its skin continues the skin's edge,
        // so the banner runs on instead of ending in a step. The edge is
        // taken a little inside, over a frame line the picture may end in,
        // and tiled: stretched, it would blend with what lies beyond.
        const int w = m_skin.width();
        const int h = m_skin.height();
        const int x = std::max(0, w - 4);
        const int y = std::max(0, h - 4);
        const QSize client = m_client->size();
        if (client.width() > w)
            painter.drawTiledPixmap(QRect(x, 0, client.width() - x, h), m_skin.copy(x, 0, 1, h));
        if (client.height() > h)
            painter.drawTiledPixmap(QRect(0, y, w, client.height() - y), m_skin.copy(0, y, w, 1));
        if (client.width() > w && client.height() > h)
            painter.drawTiledPixmap(QRect(x, y, client.width() - x, client.height() - y),
                                    m_skin.copy(x, y, 1, 1));
    }
    OnPaint(painter);
}

void CDialog::OnPaint(QPainter&) {}

void CDialog::PostAfterPaint(std::function<void()> action) {
    QTimer::singleShot(0, this, std::move(action));
}

bool CDialog::PreTranslateMessage(QObject*, QEvent*) {
    return false;
}

bool CDialog::FilterInput(QObject* target, QEvent* event) {
    if (PreTranslateMessage(target, event))
        return true;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && (key->modifiers() & Qt::AltModifier)) {
            ShowSystemMenu();
            return true;
        }
    }
    return false;
}

bool CDialog::eventFilter(QObject* watched, QEvent* event) {
    if (!IsFilteredInput(event->type()))
        return QDialog::eventFilter(watched, event);
    // Qt hands an event that a control ignores on to its parents; the filter
    // must see each key or click once, at the control it was meant for.
    const auto* input = static_cast<QInputEvent*>(event);
    SeenInput seen{event, event->type(), input->timestamp(), 0, {}, watched};
    const bool isKey = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (isKey) {
        seen.detail = static_cast<const QKeyEvent*>(event)->key();
    } else {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        seen.detail = mouse->button();
        seen.global = mouse->globalPosition();
    }
    // Keys travel up as the same event; clicks as copies at the same place.
    const bool sameInput =
        m_lastInput.type == seen.type && m_lastInput.timestamp == seen.timestamp &&
        m_lastInput.detail == seen.detail &&
        (isKey ? m_lastInput.event == seen.event : m_lastInput.global == seen.global);
    auto* widget = qobject_cast<QWidget*>(watched);
    auto* lastWidget = qobject_cast<QWidget*>(m_lastInput.receiver.data());
    if (sameInput && widget && lastWidget && widget != lastWidget &&
        widget->isAncestorOf(lastWidget))
        return false;
    m_lastInput = seen;
    return FilterInput(watched, event);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        OnCommand(IDCANCEL);
        return;
    case Qt::Key_F10:
        // Into the menu bar, as Alt and the mnemonics lead there.
        if (m_menuBar != nullptr && !m_menuBar->actions().isEmpty()) {
            m_menuBar->setFocus(Qt::ShortcutFocusReason);
            m_menuBar->setActiveAction(m_menuBar->actions().first());
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        for (auto& [id, widget] : m_controls) {
            auto* button = qobject_cast<QPushButton*>(widget);
            if (button && button->isDefault() && button->isVisible()) {
                if (button->isEnabled())
                    button->click();
                return;
            }
        }
        OnCommand(IDOK);
        return;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::closeEvent(QCloseEvent* event) {
    // The dialog decides itself whether a close request ends it.
    event->ignore();
    if (m_template.style & DS_SYSMENU)
        OnClose();
}

int PressedKey(const QEvent* event) {
    return event->type() == QEvent::KeyPress ? static_cast<const QKeyEvent*>(event)->key() : 0;
}

} // namespace platform
