#pragma once
/// @class CModule
/// The base class of the image-analysis modules that applications
/// plug into their camera views.
///
/// A module keeps a list of the shape trackers the operator edits on the
/// views (it does not own them: they are members of the derived module),
/// routes mouse events to them, draws them per view, stores them and its
/// options (features) in the configuration, and offers hooks that the host
/// calls for panels, popup menus, property pages and life-cycle steps. The
/// hooks are virtual; most do nothing here.
///
/// Mouse and drawing calls come from the window's thread. The critical
/// section is for derived modules that share data with worker threads; the
/// base class does not take it. Failures are results; nothing throws.
#include <zep3/foundation/Counter.h>
#include <zep3/modules/Feature.h>
#include <zep3/platform/Array.h>
#include <zep3/platform/CriticalSection.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Messages.h>
#include <zep3/platform/Point.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/String.h>
#include <zep3/platform/WinTypes.h>

class CDC;
class CHandleTracker;
class CImageBuffer;
class CIniFile;
class CMenu;
class CPropertyPage;
class CWnd;

// Host messages. A module asks its host window for a panel with
// ZEP3_WM_PANEL_REQUEST (wParam: the title text, lParam: the HWND* where the
// host stores the panel's handle, null to refuse) and hands the panel its
// dialog with ZEP3_WM_PANEL_DIALOG (wParam: the dialog's HWND, lParam: the
// flag, 0 or 1). After a mouse event that changed a tracker the main window
// gets ZEP3_WM_MODULE_REDRAW (both parameters 0), posted.
#define ZEP3_WM_MODULE_REDRAW (WM_USER)
#define ZEP3_WM_PANEL_REQUEST (WM_USER + 2)
#define ZEP3_WM_PANEL_DIALOG (WM_USER + 33)

class ZEP3_API CModule {
public:
    /// Mouse events and buttons of Mouse.
    enum { MOUSE_MOVE = 0, MOUSE_DOWN = 1, MOUSE_UP = 2 };
    enum { BUTTON_LEFT = 1 };
    /// The template id that asks CreateCustomPanel not to create the dialog.
    static constexpr unsigned int kNoTemplate = 0xFFFFFFFFu;

    ///@{
    /// No trackers, no features, not initialised.
    CModule();
    CModule(const CModule&) = delete;
    ///@}
    CModule& operator=(const CModule&) = delete;

    // --- virtual operations, in table order -----------------------------------
    /// Frees the feature table and the tracker list, not the trackers.
    virtual ~CModule();
    /// Each module's own: its name as the host shows it, its initialisation
    /// (called by the host between MarkForInit and MarkInitialized), and the
    /// analysis of one frame of a view.
    virtual CString GetModuleName() = 0;
    virtual bool Initialize() = 0;
    virtual bool Process(CImageBuffer* frame, int view) = 0;
    /// Life-cycle hooks; nothing in this class.
    virtual void Reset(int how);
    virtual void Destroy();
    /// Draws every tracker of `view` with `zoom`; `clip` is for derived
    /// modules. Nothing for a null DC.
    virtual void Draw(CDC* dc, int view, double zoom, CRect clip);
    /// Drawing into the pictures saved automatically; nothing in this class.
    virtual void DrawInAutoSave(CDC* dc, int view, double zoom);
    /// One mouse event of a view, in image coordinates: event 0 move, 1
    /// button down, 2 button up; button 1 while the left button is held.
    /// Button down highlights the nearest tracker and selects it (grabbing a
    /// handle or the shape when the left button is down); a move without the
    /// button selects what is under the pointer; a move with the button drags
    /// (not within 150 ms of the press: a click is no drag); button up drops.
    /// True when something changed; the main window then gets
    /// ZEP3_WM_MODULE_REDRAW posted (not after a button down). `wnd` is the
    /// view's window, for derived modules.
    virtual bool Mouse(CWnd* wnd, int view, int event, int button, CPoint& point);
    /// Each tracker in a child view named after the tracker, or "Tracker(i)"
    /// when it has no name; on reading, features whose state is neither 0 nor
    /// 1 take theirs from a bool item under their name, which is written back
    /// so that the key exists. True, whatever the trackers report; false only
    /// for a null store.
    virtual bool Exchange(CIniFile* ini, int mode);
    /// The host made `view` the active one; nothing in this class.
    virtual void ActivateView(int view);
    /// Feature `index` is on (state 1); false outside the table.
    virtual bool IsFeature(int index);
    /// Stores the feature at `index`, growing the table to index + 1 when
    /// needed. Negative indices are ignored.
    virtual void AddFeature(int index, const CString& name, int state);
    /// Sets the state of an existing feature; ignored outside the table.
    virtual void SetFeature(int index, int state);
    /// The feature table, owned by the module.
    virtual CArray<CFeature, const CFeature&>* GetFeatureArray();
    /// Asks `host` for a panel titled `title` and puts `dialog` on it: null
    /// when dialog is null, `host` itself when host is null, null when the
    /// host refuses. Unless templateId is kNoTemplate, a dialog without a
    /// window is created from that template as a child of the panel (a
    /// CDialog through its Create, any other window as a plain child). When
    /// the dialog has a window the panel gets ZEP3_WM_PANEL_DIALOG with it and
    /// `flag`. Both messages are sent (SendMessage), so the host may live on
    /// another thread. Returns the panel.
    virtual HWND CreateCustomPanel(HWND host, const CString& title, CWnd* dialog, unsigned int templateId,
                                   bool flag);
    /// The host offers its popup menu at `point` of `view`; a module that adds
    /// items returns true. `id` is the first command id the module may use.
    /// False in this class.
    virtual bool PopupRequest(int& id, CMenu& menu, int view, CPoint point);
    /// A command the module added was chosen; nothing in this class.
    virtual void PopupPressed(int id, int view, int data);
    virtual void UpdateGUI(int how);
    /// The module appends its property pages and their icons; none here.
    virtual void CreateCustomPropertyPages(CArray<CPropertyPage*, CPropertyPage*>& pages,
                                           CArray<HICON, HICON>& icons);
    virtual void EventDialogClosedBy(CString name);
    virtual void MarkInitialized();
    virtual bool IsInitialized();
    virtual void MarkForInit();
    /// Index of the first selected tracker; -1 when none.
    virtual int GetSelectedTracker();
    /// Appends a tracker to the list (not owned; null is ignored).
    virtual void ControlTracker(CHandleTracker* tracker);

protected:
    /// The nearest tracker gets Select(point, grab), every other DeSelect;
    /// true when anything changed.
    virtual bool SelectTrackerHandle(const CPoint& point, bool grab, int view);
    /// Among the enabled trackers of `view`, the one with the smallest
    /// GetDist that is not negative and below 10000 (the first on a tie); -1
    /// when none.
    virtual int GetNearestTracker(const CPoint& point, int view);
    /// Highlights the nearest tracker and clears the others.
    virtual bool HighlightTracker(const CPoint& point, int view);
    /// Highlight(i == index) on every tracker i; true when any changed.
    virtual bool HighlightTracker(int index);
    /// Index of the first highlighted tracker; -1 when none.
    virtual int GetHighlightedTracker();

public:
    /// The list, for hosts and derived modules (not owned).
    int GetTrackerCount() const { return static_cast<int>(m_Trackers.GetSize()); }
    CHandleTracker* GetTracker(int index) const;

protected:
    CCriticalSection m_CriticalSection;
    CArray<CHandleTracker*, CHandleTracker*> m_Trackers;
    CArray<CFeature, const CFeature&>* m_pFeatures;
    bool m_bInitialized;
    CCounter m_ClickTimer;
};
