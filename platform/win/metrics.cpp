#include "platform/win/metrics.h"

#include "platform/win/window.h"

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return platform::win::kScreenWidth;
    case SM_CYSCREEN: return platform::win::kScreenHeight;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXEDGE:
    case SM_CYEDGE: return 2;
    case SM_CYMENU: return 19;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 16;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
    case SM_CXDRAG:
    case SM_CYDRAG: return 4;
    case SM_MOUSEWHEELPRESENT: return 1;
    default: return 0;  // SM_SWAPBUTTON among them: the buttons are not swapped
  }
}
