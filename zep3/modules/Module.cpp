#include <zep3/modules/Module.h>

#include <zep3/foundation/ExchangeObject.h>
#include <zep3/foundation/IniFile.h>
#include <zep3/imaging/HandleTracker.h>
#include <zep3/platform/Dialog.h>
#include <zep3/platform/Wnd.h>

#include <exception>

namespace {

// A tracker farther than this from the pointer is not a candidate.
constexpr int kNearLimit = 10000;
// A move with the button held this soon after the press is part of a click.
constexpr int kClickMilliseconds = 151;

} // namespace

CModule::CModule() : m_pFeatures(new CArray<CFeature, const CFeature&>), m_bInitialized(false) {}

CModule::~CModule() { delete m_pFeatures; }

CHandleTracker* CModule::GetTracker(int index) const {
    return index >= 0 && index < GetTrackerCount() ? m_Trackers[index] : nullptr;
}

void CModule::ControlTracker(CHandleTracker* tracker) {
    if (tracker) m_Trackers.Add(tracker);
}

// --- hooks that do nothing here ---------------------------------------------------

void CModule::Reset(int) {}
void CModule::Destroy() {}
void CModule::DrawInAutoSave(CDC*, int, double) {}
void CModule::ActivateView(int) {}
bool CModule::PopupRequest(int&, CMenu&, int, CPoint) { return false; }
void CModule::PopupPressed(int, int, int) {}
void CModule::UpdateGUI(int) {}
void CModule::CreateCustomPropertyPages(CArray<CPropertyPage*, CPropertyPage*>&, CArray<HICON, HICON>&) {}
void CModule::EventDialogClosedBy(CString) {}

// --- life cycle -----------------------------------------------------------------------

void CModule::MarkInitialized() { m_bInitialized = true; }
bool CModule::IsInitialized() { return m_bInitialized; }
void CModule::MarkForInit() { m_bInitialized = false; }

// --- trackers -------------------------------------------------------------------------

int CModule::GetNearestTracker(const CPoint& point, int view) {
    int nearest = -1, best = kNearLimit;
    for (int i = 0; i < GetTrackerCount(); ++i) {
        CHandleTracker* t = m_Trackers[i];
        if (!t->IsEnabled() || !t->IsProperView(view)) continue;
        const int dist = t->GetDist(point);
        if (dist >= 0 && dist < best) {
            best = dist;
            nearest = i;
        }
    }
    return nearest;
}

bool CModule::HighlightTracker(int index) {
    bool changed = false;
    for (int i = 0; i < GetTrackerCount(); ++i) changed = m_Trackers[i]->Highlight(i == index) || changed;
    return changed;
}

bool CModule::HighlightTracker(const CPoint& point, int view) {
    return HighlightTracker(GetNearestTracker(point, view));
}

bool CModule::SelectTrackerHandle(const CPoint& point, bool grab, int view) {
    const int nearest = GetNearestTracker(point, view);
    bool changed = false;
    for (int i = 0; i < GetTrackerCount(); ++i)
        changed = (i == nearest ? m_Trackers[i]->Select(point, grab) : m_Trackers[i]->DeSelect()) || changed;
    return changed;
}

int CModule::GetSelectedTracker() {
    for (int i = 0; i < GetTrackerCount(); ++i)
        if (m_Trackers[i]->IsSelected()) return i;
    return -1;
}

int CModule::GetHighlightedTracker() {
    for (int i = 0; i < GetTrackerCount(); ++i)
        if (m_Trackers[i]->IsHighlighted()) return i;
    return -1;
}

void CModule::Draw(CDC* dc, int view, double zoom, CRect) {
    if (!dc) return;
    for (int i = 0; i < GetTrackerCount(); ++i)
        if (m_Trackers[i]->IsProperView(view)) m_Trackers[i]->Draw(dc, zoom);
}

bool CModule::Mouse(CWnd*, int view, int event, int button, CPoint& point) {
    const bool left = button == BUTTON_LEFT;
    bool result = false;
    if (event == MOUSE_DOWN) {
        HighlightTracker(point, view);
        result = SelectTrackerHandle(point, left, view);
    } else if (event == MOUSE_MOVE && !left) {
        result = SelectTrackerHandle(point, false, view);
    }
    if (event == MOUSE_DOWN || event == MOUSE_UP) {
        if (m_ClickTimer.IsRunning()) m_ClickTimer.Stop();
        if (event == MOUSE_DOWN) {
            m_ClickTimer.Start();
            return result;
        }
    }
    if (event == MOUSE_UP && !left) {
        for (int i = 0; i < GetTrackerCount() && !result; ++i) result = m_Trackers[i]->Drop();
    } else if (event == MOUSE_MOVE && left) {
        const bool click = m_ClickTimer.IsRunning() && m_ClickTimer.GetCountsDouble() < kClickMilliseconds;
        for (int i = 0; i < GetTrackerCount() && !click && !result; ++i)
            if (m_Trackers[i]->IsProperView(view)) result = m_Trackers[i]->Drag(point);
    }
    if (result) {
        CWnd* main = AfxGetMainWnd();
        if (main && main->GetSafeHwnd()) ::PostMessage(main->GetSafeHwnd(), ZEP3_WM_MODULE_REDRAW, 0, 0);
    }
    return result;
}

// --- persistence --------------------------------------------------------------------

bool CModule::Exchange(CIniFile* ini, int mode) {
    if (!ini) return false;
    for (int i = 0; i < GetTrackerCount(); ++i) {
        CString key = m_Trackers[i]->GetName();
        if (key.IsEmpty()) key.Format("Tracker(%d)", i);
        CIniFile view(ini, key);
        m_Trackers[i]->Exchange(&view, mode);
    }
    if (mode == 0) {
        for (INT_PTR i = 0; i < m_pFeatures->GetSize(); ++i) {
            CFeature& f = m_pFeatures->ElementAt(i);
            if (f.m_nState == 0 || f.m_nState == 1) continue;
            bool on = false;
            ExchangeObject(ini, 0, f.m_Name, &on);
            ExchangeObject(ini, 1, f.m_Name, &on);
            f.m_nState = on ? 1 : 0;
        }
    }
    return true;
}

// --- features -------------------------------------------------------------------------

bool CModule::IsFeature(int index) {
    return index >= 0 && index < m_pFeatures->GetSize() && m_pFeatures->GetAt(index).m_nState == 1;
}

void CModule::AddFeature(int index, const CString& name, int state) {
    if (index < 0) return;
    try {
        if (index >= m_pFeatures->GetSize()) m_pFeatures->SetSize(INT_PTR(index) + 1);
    } catch (const std::exception&) {
        return; // no memory for a table that long: the feature is not added
    }
    m_pFeatures->SetAt(index, CFeature(name, state));
}

void CModule::SetFeature(int index, int state) {
    if (index >= 0 && index < m_pFeatures->GetSize()) m_pFeatures->ElementAt(index).m_nState = state;
}

CArray<CFeature, const CFeature&>* CModule::GetFeatureArray() { return m_pFeatures; }

// --- host panels ----------------------------------------------------------------------

HWND CModule::CreateCustomPanel(HWND host, const CString& title, CWnd* dialog, unsigned int templateId, bool flag) {
    if (!dialog) return nullptr;
    if (!host) return host;
    HWND panel = nullptr;
    ::SendMessage(host, ZEP3_WM_PANEL_REQUEST, reinterpret_cast<WPARAM>(title.GetString()),
                  reinterpret_cast<LPARAM>(&panel));
    if (!panel) return nullptr;
    if (templateId != kNoTemplate && !dialog->GetSafeHwnd()) {
        CWnd* parent = CWnd::FromHandle(panel);
        if (CDialog* d = dynamic_cast<CDialog*>(dialog)) {
            d->Create(templateId, parent);
        } else if (parent) {
            CRect client;
            parent->GetClientRect(&client);
            dialog->Create(nullptr, nullptr, WS_VISIBLE, client, parent, templateId);
        }
    }
    if (dialog->GetSafeHwnd())
        ::SendMessage(panel, ZEP3_WM_PANEL_DIALOG, reinterpret_cast<WPARAM>(dialog->GetSafeHwnd()), flag ? 1 : 0);
    return panel;
}
