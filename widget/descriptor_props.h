// Names of the component descriptor properties that Widget functions read
// and write, and the component type names.  No platform headers.
#ifndef WIDGET_DESCRIPTOR_PROPS_H
#define WIDGET_DESCRIPTOR_PROPS_H

// Read by Widget.create for every type, in this order.
#define PROP_TYPE "type"
#define PROP_UTITLE "utitle"
#define PROP_HPARENT "hParent"
#define PROP_HICON "hIcon"
#define PROP_SHOW "show"
#define PROP_TIMER "timer"

// Edit and TextArea.
#define PROP_UTEXT "utext"
#define PROP_TEXT_FONT "textFont"
#define PROP_TEXT_SIZE "textSize"
#define PROP_TEXT_STYLE "textStyle"

// MenuItem.
#define PROP_ID "id"
#define PROP_DEFAULT_ITEM "defaultItem"

// Web.
#define PROP_URL "url"

// Placement (Widget.resize); w and h are also the size of a Web window.
#define PROP_X "x"
#define PROP_Y "y"
#define PROP_W "w"
#define PROP_H "h"

// Written by Widget.create.
#define PROP_STYLE "style"
#define PROP_HWND "hWnd"

// Component types, compared case-sensitively.
#define TYPE_FRAME "Frame"
#define TYPE_DIALOG "Dialog"
#define TYPE_COMPONENT "Component"
#define TYPE_WEB "Web"
#define TYPE_SYSTRAY "Systray"
#define TYPE_EDIT "Edit"
#define TYPE_TEXTAREA "TextArea"
#define TYPE_POPUPMENU "PopupMenu"
#define TYPE_MENUITEM "MenuItem"

#endif
