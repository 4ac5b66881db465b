// zorvex.dll: loadModule("zorvex") defines Widget.

declare namespace Widget {
    /** Properties every component descriptor may carry. */
    interface Base {
        /** Title of a Frame or Dialog; default "Title". */
        utitle?: string;
        /** Parent (owner for Frame, Dialog, Systray; the menu for a MenuItem); default 0. */
        hParent?: number;
        /** Icon handle from Widget.loadIcon; default 0 (no system menu either). */
        hIcon?: number;
        /** Non-zero shows the window (WS_VISIBLE); default 1. */
        show?: number | boolean;
        /** Timer period in ms, TIMER events; default -1 (none). */
        timer?: number;
        /** Client area for Widget.resize: screen for top-level windows, parent client for children; each default: the window's current value. */
        x?: number;
        /** See x. */
        y?: number;
        /** Width for Widget.resize (and the draw box); default: the current width. */
        w?: number;
        /** Height for Widget.resize; default: the current height. */
        h?: number;
        /** Written by Widget.create: the computed window style. */
        readonly style?: number;
        /** Written by Widget.create: the handle (0 when nothing was made; undefined after Widget.destroy). */
        readonly hWnd?: number;
    }
    /** Text drawing (Widget.draw, Component only) and Edit/TextArea fonts. */
    interface TextProps {
        /** Text of the control or line to draw; default none. */
        utext?: string;
        /** Font face; default "Arial". */
        textFont?: string;
        /** Character height in pixels; default 12. */
        textSize?: number;
        /** Letters: "B" bold, "I" italic, and for draw "C" centred, "R" right-aligned; default "". */
        textStyle?: string;
        /** Draw: x of the text's reference point; default 0. */
        textPosX?: number;
        /** Draw: y of the text's top; default 0. */
        textPosY?: number;
        /** Draw: colour 0xRRGGBB; default 0 (black). */
        textColor?: number;
    }
    /** Pixel data as Widget.loadImage gives it, for Widget.draw. */
    interface ImageProps {
        /** Width of imageContent in pixels; default 0. */
        imageWidth?: number;
        /** Height of imageContent in rows; default 0. */
        imageHeight?: number;
        /** Premultiplied BGRA pixels, one character per byte; default none. */
        imageContent?: string;
    }
    /** A top-level window with caption and sizing border (type missing means Frame). */
    interface Frame extends Base, ImageProps { type?: "Frame"; }
    /** A top-level window with a dialog-like frame. */
    interface Dialog extends Base, ImageProps { type: "Dialog"; }
    /** A child window; draws images and one line of text. */
    interface Component extends Base, ImageProps, TextProps { type: "Component"; }
    /** The system's web browser control in a child window (hParent required). */
    interface Web extends Base {
        type: "Web";
        /** Page to show; default none (an empty browser). */
        url?: string;
    }
    /** A hidden window that owns a tray icon (Widget.setSystray). */
    interface Systray extends Base {
        type: "Systray";
        /** Tooltip, cut to 127 characters; default "". */
        utext?: string;
        /** Balloon text, cut to 255; shows a balloon when present. */
        msgUText?: string;
        /** Balloon title, cut to 63; default "". */
        msgUTitle?: string;
        /** Balloon time-out in ms; default 0. */
        msgTimeout?: number;
        /** "add" (default), then "modify" (written by setSystray), or "delete". */
        command?: "add" | "modify" | "delete";
    }
    /** A single-line text box. */
    interface Edit extends Base, TextProps { type: "Edit"; }
    /** A read-only, multi-line text box with a vertical scroll bar. */
    interface TextArea extends Base, TextProps { type: "TextArea"; }
    /** A popup menu; its hWnd is the menu handle, hParent the window that gets COMMAND. */
    interface PopupMenu extends Base { type: "PopupMenu"; }
    /** An item of the menu hParent: "-" makes a separator. */
    interface MenuItem extends Base {
        type: "MenuItem";
        /** Command id sent as COMMAND; default 0. */
        id?: number;
        /** Non-zero makes it the default item; default 0. */
        defaultItem?: number;
        /** Item text, "-" for a separator; default "". */
        utext?: string;
    }
    /** Every component descriptor, discriminated by type. */
    type Descriptor = Frame | Dialog | Component | Web | Systray | Edit | TextArea | PopupMenu | MenuItem;

    /** Event names of Widget.onEvent. */
    type EventName = "PAINT" | "ERASE" | "CLOSE" | "DESTROY" | "MOVE" | "MINIMIZE" | "RESIZE" | "COMMAND" |
        "EDIT_CHANGE" | "TIMER" | "MOUSE_OVER" | "MOUSE_OUT" | "MOUSE_BUTTON";
    /** The object Widget.onEvent receives. */
    interface Event {
        /** The window (for EDIT_CHANGE the control) the event is for. */
        hWnd: number;
        /** What happened. */
        msg: EventName;
        /** MOUSE_BUTTON: which button did what. */
        button?: "LEFT_DOWN" | "LEFT_UP" | "RIGHT_DOWN" | "RIGHT_UP";
        /** MOVE: client left in screen coordinates; MOUSE_OVER, MOUSE_BUTTON: client x. */
        x?: number;
        /** See x. */
        y?: number;
        /** RESIZE: new client width. */
        w?: number;
        /** RESIZE: new client height. */
        h?: number;
        /** COMMAND: the menu item id (or notification code * 65536). */
        id?: number;
    }
    /** Result of Widget.loadImage. */
    interface Image {
        readonly imageWidth: number;
        readonly imageHeight: number;
        /** Premultiplied BGRA pixels, rows top-down. */
        readonly imageContent: string;
    }
    /** Result of Widget.loadIcon. */
    interface Icon {
        readonly iconWidth: number;
        readonly iconHeight: number;
        /** Icon handle for hIcon. */
        readonly hIcon: number;
    }
    interface MessageBoxOptions {
        /** Owner window; default 0. */
        hParent?: number;
        /** Caption; default the system's. */
        utitle?: string;
        /** Message text. */
        utext?: string;
        /** Buttons; default "OK". */
        type?: "OK" | "OK_CANCEL" | "YES_NO";
    }
    interface FileDialogOptions {
        /** Owner window; default 0. */
        hParent?: number;
        /** Initial folder; default the current directory. */
        dir?: string;
        /** Initial file name, cut to 259; default "". */
        file?: string;
        /** Pairs of text and pattern, each followed by "\0", e.g. "PNG\0*.png\0"; default all files. */
        filter?: string;
    }
    interface DirDialogOptions {
        /** Owner window; default 0. */
        hParent?: number;
        /** Text above the folder tree. */
        utitle?: string;
        /** Folder to preselect; default the last one given. */
        path?: string;
    }
}

declare const Widget: {
    /** Saves the context and registers the window class; call before the first create. */
    init(): void;
    /** Makes the component, writes style and hWnd into it, returns the handle (0 when nothing was made). */
    create(descriptor: Widget.Descriptor): number;
    /** Destroys the window (children too) and sets hWnd to undefined. */
    destroy(descriptor: Widget.Descriptor): void;
    /** Shows (default) or hides the window; records show as 1 or 0. */
    show(descriptor: Widget.Descriptor, show?: number | boolean): void;
    /** Brings the window to the top. */
    setWindowTop(descriptor: Widget.Descriptor): void;
    /** Edit/TextArea: shows utext; other windows: repaints (ERASE and PAINT). */
    refresh(descriptor: Widget.Descriptor): void;
    /** In a PAINT handler: draws the image (stretched to w x h) and, for a Component, the text. */
    draw(descriptor: Widget.Frame | Widget.Dialog | Widget.Component): void;
    /** Places the component so that its client area is x, y, w, h. */
    resize(descriptor: Widget.Descriptor): void;
    /** Decodes PNG bytes (readFile) into premultiplied BGRA; throws on data that is no PNG. */
    loadImage(pngBytes: string): Widget.Image;
    /** Decodes PNG bytes into an icon handle; throws on data that is no PNG. */
    loadIcon(pngBytes: string): Widget.Icon;
    /** "utext": the window's text (also stored in descriptor.utext); any other name: undefined. */
    getProperty(descriptor: Widget.Descriptor, name: "utext"): string;
    getProperty(descriptor: Widget.Descriptor, name: string): string | undefined;
    /** Adds, modifies or deletes the tray icon of a Systray window (by its command). */
    setSystray(descriptor: Widget.Systray): void;
    /** Waits for one message and dispatches it: 1, or 0 after WM_QUIT. */
    eventLoop(): number;
    /** Opens the PopupMenu at the mouse; the chosen item arrives as COMMAND. */
    popupMenu(descriptor: Widget.PopupMenu): void;
    /** A modal message box; the button pressed. */
    messageBox(options: Widget.MessageBoxOptions): "OK" | "CANCEL" | "YES" | "NO";
    /** Starts a sound (alias or wave file) and returns at once. */
    playSound(name: string): void;
    /** Lets the user pick an existing file: its full path, or undefined when cancelled. */
    openFileDialog(options: Widget.FileDialogOptions): string | undefined;
    /** Lets the user pick a folder: its path, or undefined when cancelled. */
    openDirDialog(options: Widget.DirDialogOptions): string | undefined;
    /** The script's handler: its result decides the default processing (false lets a CLOSE close). */
    onEvent?: (event: Widget.Event) => any;
};
