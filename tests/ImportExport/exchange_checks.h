// exchange_checks.h: checks of a MusicXML document by readers other than the import: the
// MusicXML 4.0 schema (xmllint, offline, with the schema folder beside the repository) and the
// notes of each part measure by measure as a plain reading of the document finds them.
#pragma once

#include <string>
#include <vector>

// Why documents cannot be checked by the schema here (no xmllint, or no schema folder beside
// the repository); empty when they can.
std::string schema_unavailable();

// What the schema finds wrong with a document, a line each; empty when it validates or when
// it cannot be checked here (schema_unavailable says why).
std::string schema_errors(const std::string& document);

// The notes (not rests) of each part, by measure in the order of the part's measure elements:
// each as its pitch ("C#4", "Bbb2"; an unpitched note "x" and its display step and octave), a
// grace note's "g", a note not printed "~" before all, and its type and dots ("C#4 quarter.",
// "gD5 eighth"); "?" for a note without a type, "x*" an unpitched note placed nowhere. The
// notes of a measure are sorted.
using PartMeasureNotes = std::vector<std::vector<std::vector<std::string>>>;
PartMeasureNotes measure_notes(const std::string& document);

// The notes of `theirs` that `ours` does not hold and those it holds that `theirs` does not,
// measure by measure, a line each ("part 1 measure 3: lost C4 half; gained C3 half");
// a note of `theirs` without a type matches one of its pitch of any value (one placed nowhere,
// one of any place), and one it does not print may be lost. *count, when given, gets the
// number of notes that differ (a note changed counts once: the larger of those lost and those
// gained, measure by measure).
std::vector<std::string> note_differences(const PartMeasureNotes& theirs,
                                          const PartMeasureNotes& ours, int* count = nullptr);

// A document with its encoding date taken out, for comparing two exports of different days.
std::string without_encoding_date(std::string document);
