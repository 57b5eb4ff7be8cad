// A static text control of a dialog turned into a clickable link: link
// colours, underlined always or while the mouse is over it, a hand pointer,
// a tooltip showing the target, and a click that opens the target through
// the shell (or the registered browser command) and explains a failure.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/Window.h"

class HyperlinkLabel : public ui::Window {
public:
    // Underline modes.
    static constexpr int UNDERLINE_ALWAYS = 1;
    static constexpr int UNDERLINE_NEVER = 0;
    static constexpr int UNDERLINE_HOVER = -1;
    static constexpr UINT_PTR HOVER_TIMER_ID = 100;
    static constexpr UINT HOVER_CHECK_MS = 100;

    HyperlinkLabel();
    ~HyperlinkLabel() override;

    // Takes over the static control `id` of `parent`.
    bool SubclassDlgItem(int id, HWND parent);

    void SetTarget(const std::string& target);
    const std::string& Target() const { return m_strTarget; }
    void SetVisited(bool visited);
    bool IsVisited() const { return m_bVisited; }
    void SetUnderlineMode(int mode);
    int UnderlineMode() const { return m_nUnderlineMode; }
    bool IsOverLink() const { return m_bOverLink; }

    // Resizes the control to its text, keeping the edge its alignment names.
    void FitToText();
    // The hand pointer, loaded once.
    void LoadLinkCursor();

    // Opens `target` through the shell, else through the command registered
    // for ".htm" pages; returns the result code (above 32 on success).
    static INT_PTR OpenTarget(const std::string& target, int show);
    // Tells the user why a target could not be opened.
    static void ReportOpenError(INT_PTR code);
    // The message ReportOpenError shows for `code`.
    static std::string OpenErrorText(INT_PTR code);

    // For the owner's checks.
    COLORREF TextColour() const;
    HFONT UnderlinedFont() const { return m_fontUnderlined; }
    HFONT PlainFont() const { return m_fontPlain; }
    HCURSOR LinkCursor() const { return m_hLinkCursor; }
    HWND ToolTip() const { return m_tipCtrl; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnReflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void OnAttached() override;
    void OnFinalDestroy() override;

private:
    void BuildFonts();
    void CreateToolTip();
    TOOLINFOA ToolInfo() const;
    void UpdateTipText();
    void SetLabelFont(HFONT font);
    void OnMouseMove();
    void OnHoverTimer();
    void OnClicked();
    void ReleaseResources();

    COLORREF m_crLink = RGB(0, 0, 238);
    COLORREF m_crVisited = RGB(85, 26, 139);
    COLORREF m_crHover = RGB(255, 0, 0);
    bool m_bOverLink = false;
    bool m_bVisited = false;
    int m_nUnderlineMode = UNDERLINE_HOVER;
    bool m_bFitToText = true;
    std::string m_strTarget;
    HFONT m_fontUnderlined = nullptr;
    HFONT m_fontPlain = nullptr;
    HCURSOR m_hLinkCursor = nullptr;
    HWND m_tipCtrl = nullptr;
    UINT_PTR m_nHoverTimerId = HOVER_TIMER_ID;
};
