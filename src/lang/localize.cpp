#include "lang/localize.h"

#include <stdint.h>

#include "lang/langtable.h"
#include "platform/os.h"

// Dialog texts are read and translated in buffers of this size; a longer
// window text is read cut, as GetWindowTextA cuts it.
enum { DialogTextSize = 1024 };

// At most this many direct children are translated and moved, so that a
// window list that never ends cannot hold the dialog open.
enum { DialogChildLimit = 512 };

// A value of the layout arithmetic held within the 32-bit range: a scale
// entry from the language file may be anything, and neither an extreme
// factor nor a sum behind it may overflow.
static int32_t HeldSum(int32_t a, int32_t b)
{
    return HoldInt32((int64_t)a + b);
}

static int32_t HeldDifference(int32_t a, int32_t b)
{
    return HoldInt32((int64_t)a - b);
}

static void TranslateWindowText(HWND window, const char *resourceName, bool keepEmpty)
{
    char text[DialogTextSize];
    text[0] = 0;
    GetWindowTextA(window, text, sizeof(text));
    text[sizeof(text) - 1] = 0;
    if (keepEmpty && text[0] == 0)
        return;
    LanguageTable.Translate(text, text, sizeof(text), resourceName, KindDialog);
    SetWindowTextA(window, text);
}

// A drop-down combo box is given the height of its list as well: its
// window height is the edit part only, and the height that SetWindowPos
// gives it sets how far the list drops.
static bool HasDropDownList(HWND control)
{
    char className[DialogTextSize];
    className[0] = 0;
    GetClassNameA(control, className, sizeof(className));
    className[sizeof(className) - 1] = 0;
    if (CompareNoCase(className, "COMBOBOX") != 0)
        return false;
    return (GetWindowLongA(control, GWL_STYLE) & 3) != CBS_SIMPLE;
}

void ApplyRtlLayout(HWND window)
{
    if (!LanguageTable.Rtl)
        return;
    LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    SetWindowLongA(window, GWL_EXSTYLE, exStyle | WS_EX_LAYOUTRTL);
}

void LocalizeDialog(const char *resourceName, HWND dialog)
{
    int32_t scaleX = 100;
    int32_t scaleY = 100;
    const bool scaling = LanguageTable.GetDialogScale(resourceName, &scaleX, &scaleY);

    RECT frame = {0, 0, 0, 0};
    RECT client = {0, 0, 0, 0};
    GetWindowRect(dialog, &frame);
    GetClientRect(dialog, &client);
    // The frame's share of the outer size. Sizes count one pixel more than
    // their rectangles, as the scale entries of the language files expect.
    const int32_t outerWidth = HeldSum(HeldDifference(frame.right, frame.left), 1);
    const int32_t outerHeight = HeldSum(HeldDifference(frame.bottom, frame.top), 1);
    const int32_t dx = HeldDifference(outerWidth, client.right);
    int32_t dy = HeldDifference(outerHeight, client.bottom);

    if (scaling)
    {
        SetWindowPos(dialog, NULL, 0, 0,
                     HeldSum(ScaleByPercent(client.right, scaleX), dx),
                     HeldSum(ScaleByPercent(client.bottom, scaleY), dy),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
    }

    // An empty caption is looked up too: it shares its key with the scale
    // entry, whose text it then shows.
    TranslateWindowText(dialog, resourceName, false);

    // The children are placed from the top of the frame less its caption
    // and upper border, taken as the frame share less one dialog frame.
    dy = HeldDifference(dy, GetSystemMetrics(SM_CYDLGFRAME));

    HWND child = GetWindow(dialog, GW_CHILD);
    const HWND first = child;
    for (int count = 0; child != NULL && count < DialogChildLimit; ++count)
    {
        TranslateWindowText(child, resourceName, true);
        if (scaling)
        {
            RECT r = {0, 0, 0, 0};
            GetWindowRect(child, &r);
            const int32_t x = ScaleByPercent(
                HeldDifference(HeldDifference(r.left, frame.left), dx / 2), scaleX);
            const int32_t y = ScaleByPercent(
                HeldDifference(HeldDifference(r.top, frame.top), dy), scaleY);
            const int32_t w = ScaleByPercent(HeldSum(HeldDifference(r.right, r.left), 1), scaleX);
            int32_t h = ScaleByPercent(HeldSum(HeldDifference(r.bottom, r.top), 1), scaleY);
            if (HasDropDownList(child))
            {
                RECT dropped = {0, 0, 0, 0};
                SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, (LPARAM)&dropped);
                const int32_t list = HeldSum(HeldDifference(dropped.bottom, dropped.top), 1);
                h = HeldSum(h, ScaleByPercent(list, scaleY));
            }
            SetWindowPos(child, NULL, x, y, w, h, SWP_NOZORDER | SWP_NOOWNERZORDER);
        }
        child = GetWindow(child, GW_HWNDNEXT);
        if (child == first)
            break;
    }
}
