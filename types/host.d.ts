// The globals of scripthost.exe.

/** Loads NAME.dll (the exe's folder first, then the usual DLL search) and runs its initModule once per process; returns true, throws an Error naming the DLL on failure. */
declare function loadModule(name: string): true;
/** Prints the arguments' text, separated by spaces, and a line break. */
declare function print(...values: any[]): void;
/** The file's bytes as a byte string (one character per byte). */
declare function readFile(path: string): string;
/** Writes a byte string (each character's low eight bits) to a file; returns true. */
declare function writeFile(path: string, bytes: string): true;
/** The arguments after the script's name on the command line. */
declare const scriptArgs: string[];
/** Flushes output and ends the process at once with this code (default 0). */
declare function exit(code?: number): never;
