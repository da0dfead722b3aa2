// startup.h: bringing the program up in its fixed order.
#pragma once

// start_up: everything main does before the main loop, in this order: the console; the cursor
// (the watch); the frame's globals; the quit signals; the screen; the node store; the views
// and the preferences; the fonts (a missing one reported); the parameter table; MIDI output;
// the play timer, printing, the piano window and the menus; the part-name phrases checked;
// and the documents of the command line queued as open and print events.
// Writes: every subsystem's start-up state. Failure: a failed allocation of the node store
//         ends the program (level 3); missing fonts are level-2 messages.
void start_up(int argc, char** argv);

// report_missing_fonts: says which of the fonts found at start-up are missing (level 2) and
// clears the Sonata choice of the preferences when Sonata is missing.
// Reads: music_font_numbers. Writes: prefs (use Sonata).
void report_missing_fonts();

// check_part_name_phrases: a translated "UnnamedPart" phrase too long for a 16-byte part name
// is a level-4 report.
void check_part_name_phrases();
