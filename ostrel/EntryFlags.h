#pragma once

// Flags of an entry.
enum : int {
    LOGF_IDENT = 0x0001,     // identification line
    LOGF_HEADER = 0x0002,    // header line
    LOGF_TIME = 0x0004,      // line that set the clock
    LOGF_TIMED = 0x0008,     // entry that advances the clock by one logging period
    LOGF_MARK = 0x0010,      // battery/external marker line
    LOGF_COLUMNS = 0x0020,   // column-definition line
    LOGF_WARNING = 0x0040,   // warning inserted by the decoder
    LOGF_RESET = 0x0080,     // time base reset (no back-dating across it)
    LOGF_SIGNATURE = 0x0100, // signature record
    LOGF_STAR = 0x0200,      // decoder-made line or line starting with "*"
    LOGF_TEXT = 0x1000,      // text entry
    LOGF_DATA = 0x2000,      // value entry
};
