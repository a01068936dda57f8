// CDialog: a modal dialog built from a template of res/, the stand-in for the
// Windows dialog framework that every dialog of the program derives from.
#pragma once

#include "platform/message_box.h"
#include "platform/qt/dialog_template_qt.h"
#include "platform/qt/dialog_units_qt.h"

#include <QDialog>
#include <QEvent>
#include <QPixmap>
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;

namespace platform {

// System menu commands, with the values the dialogs were designed with.
inline constexpr int SC_MINIMIZE = 0xF020;
inline constexpr int SC_CLOSE = 0xF060;

// A control that must see its own text changes (transparent labels repaint
// what lies under them): SetDlgItemText goes through it.
class IWindowText {
public:
    virtual ~IWindowText() = default;
    virtual void SetWindowText(const QString& text) = 0;
};

class CDialog : public QDialog {
    Q_OBJECT

public:
    explicit CDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~CDialog() override;

    // Builds the controls (anew on every call) and runs OnInitDialog once
    // they exist. DoModal does this itself; tests and previews call it to
    // look at a dialog without running it.
    void CreateFromTemplate();

    // Runs the dialog modally; returns what EndDialog was given.
    int DoModal();
    // A window of another step that this one takes the place of: a dialog
    // the user may enlarge opens where it was and as large (at least its
    // own least size).
    void TakePlaceOf(const QWidget& other) { m_placeOf = other.geometry(); }
    void EndDialog(int result);
    // Hides or shows the window and leaves its modal loop running: a dialog
    // that steps aside while the next step runs, or while an automation
    // client holds it. (QDialog's own hide ends the loop.)
    void ShowWindow(bool visible);

    const DialogTemplate& Template() const { return m_template; }
    const DialogBaseUnits& BaseUnits() const { return m_baseUnits; }
    QRect MapDialogRect(const QRect& units) const;

    // The client area, parent of every control; below the menu bar if any.
    QWidget* Client() const { return m_client; }

    QWidget* GetDlgItem(int id) const;
    template <class Widget> Widget* GetDlgItemAs(int id) const {
        return qobject_cast<Widget*>(GetDlgItem(id));
    }
    void SetDlgItemText(int id, const QString& text);
    QString GetDlgItemText(int id) const;
    bool IsDlgButtonChecked(int id) const;
    void CheckDlgButton(int id, bool checked);

    // Binds control `id` to a widget of type Widget that the builder makes in
    // place of the template's own kind, and stores it in `member`, so that
    // a dialog reaches its custom controls by type without a lookup. Call
    // before the build.
    template <class Widget> void BindControl(int id, Widget*& member) {
        m_factories[id] = [&member](QWidget* parent) {
            member = new Widget(parent);
            return static_cast<QWidget*>(member);
        };
    }

    // Commands: buttons (clicked) and menu items (triggered) by their id.
    using CommandHandler = std::function<void()>;
    void SetCommandHandler(int id, CommandHandler handler);
    void SendCommand(int id) { OnCommand(id); }

    // Menu bar items by id; false when there is no such item.
    bool EnableMenuItem(int id, bool enabled);
    bool IsMenuItemEnabled(int id) const;
    QAction* MenuAction(int id) const;

    // The system menu that Alt+Space opens. Items appended here send
    // OnSysCommand with their id.
    void AppendSystemMenuSeparator();
    void AppendSystemMenuItem(int id, const QString& text);
    QMenu* SystemMenu() const { return m_systemMenu; }

    // Skin: a bitmap file drawn unscaled at the client's top left; the
    // platform background shows where it is missing or ends (in a dialog
    // the user may enlarge, its last column and row run on instead).
    bool LoadSkin(const QString& path);
    const QPixmap& Skin() const { return m_skin; }

    // Runs `action` right after the current paint, on the GUI thread.
    void PostAfterPaint(std::function<void()> action);

    // Keys and mouse buttons seen by the filter, for tests and automation.
    bool DeliverToFilter(QObject* target, QEvent* event) { return FilterInput(target, event); }

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The close box and Alt+F4 cancel by default: closing a window must
    // never be taken for a yes.
    virtual void OnClose() { OnCommand(IDCANCEL); }
    // Returns true when the id was handled.
    virtual bool OnCommand(int id);
    virtual void OnSysCommand(int id);
    // Key presses and mouse presses before the dialog or the control sees
    // them (Esc, Enter, F1, Ctrl+A/C, right clicks). True swallows them.
    virtual bool PreTranslateMessage(QObject* target, QEvent* event);
    // Called after the skin is drawn; draw over it or post work from here.
    virtual void OnPaint(QPainter& painter);
    // Lets a dialog make its own widget for a control (null: the default).
    virtual QWidget* CreateControl(const ControlTemplate& control, QWidget* parent);

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    void reject() override { OnCommand(IDCANCEL); }
    void accept() override { OnCommand(IDOK); }

private:
    friend class CDialogClient;

    void BuildMenuBar();
    // Places the anchored controls for the client's present size.
    void LayOutControls();
    void AddMenuItems(QMenu* menu, std::span<const MenuItemTemplate> items);
    QWidget* BuildControl(const ControlTemplate& control);
    void PaintClient(QPainter& painter);
    bool FilterInput(QObject* target, QEvent* event);
    void ShowSystemMenu();

    const DialogTemplate& m_template;
    DialogBaseUnits m_baseUnits;
    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QRect m_placeOf;
    QMenu* m_systemMenu = nullptr;
    QPixmap m_skin;
    std::map<int, QWidget*> m_controls;
    std::map<int, QAction*> m_menuActions;
    std::map<int, CommandHandler> m_handlers;
    std::map<int, std::function<QWidget*(QWidget*)>> m_factories;
    // The controls that follow an enlarged dialog, with their template place.
    struct Anchored {
        QPointer<QWidget> widget;
        QRect designed;
        unsigned anchor;
    };
    std::vector<Anchored> m_anchored;
    QSize m_designedClient;

    // The input the filter saw last, to pass over its trip up the parents.
    struct SeenInput {
        const void* event = nullptr;
        QEvent::Type type = QEvent::None;
        quint64 timestamp = 0;
        int detail = 0;
        QPointF global;
        QPointer<QObject> receiver;
    };
    SeenInput m_lastInput;
};

// The key of a key press (a Qt::Key), 0 for any other event: what the
// dialogs' PreTranslateMessage switches on.
int PressedKey(const QEvent* event);

} // namespace platform
