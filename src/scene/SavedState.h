// The saved-state file: a flat list of records, each an element Key, a property or variable
// name, a type letter and a value. Saving walks the tree in pre-order; loading assigns every
// record back by name through the element's SetPropValue. The root's SaveState and
// LoadState wrap these with the file and the Load events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptValue.h"

namespace qx {

class TQXDB;

// Type letters of the records.
inline constexpr char kStateInteger = 'I';   // 4-byte signed
inline constexpr char kStateExtended = 'E';  // 10-byte 80-bit IEEE extended
inline constexpr char kStateWord = 'W';      // 2-byte unsigned
inline constexpr char kStateElement = 'O';   // 4-byte signed Key of the element
inline constexpr char kStateString = 'S';    // 4-byte signed length, then the bytes

// --- 80-bit extended numbers (little-endian, explicit integer bit) ---------------------------
inline constexpr size_t kExtendedSize = 10;
// Exact: every double, subnormals, infinities and NaNs included, has an extended form.
void DoubleToExtended(double value, uint8_t out[kExtendedSize]);
// The nearest double, ties to even; beyond the double range an infinity, below it a
// (signed) zero or subnormal. Unnormals (integer bit clear) are read by their value;
// pseudo-infinities and NaNs give a quiet NaN.
double ExtendedToDouble(const uint8_t in[kExtendedSize]);
// True and the value when the extended number is an integer in the 64-bit range.
bool ExtendedToInt64(const uint8_t in[kExtendedSize], int64_t& out);

// One record. `value` holds the value of every type but 'O', whose referenced Key is
// `elementKey` (resolved against the tree when the record is assigned).
struct StateRecord {
  int32_t key = 0;
  std::string name;
  char type = kStateInteger;
  ScriptValue value;
  int32_t elementKey = 0;
};

struct StateReadReport {
  size_t records = 0;       // complete records read
  bool damaged = false;     // reading stopped before the end of the data
  size_t damageOffset = 0;  // where the damaged record starts
  std::string reason;
};

// Reads records up to the end of the data. A damaged record (cut short, a negative or too
// long length, an unknown type letter) ends the reading: the records before it are kept and
// the answer is false. "E" values come back as Float, except integers that only a 64-bit
// integer holds exactly, which come back as Int64.
bool ParseStateRecords(std::string_view data, std::vector<StateRecord>& records, StateReadReport* report = nullptr);
// Appends the bytes of one record.
void AppendStateRecord(std::string& out, const StateRecord& record);

// The record form of a script value; false for values that have none (Empty). Integer and
// Boolean (-1/0) are "I"; Word is "W"; Float is "E", and so is DateTime (its day count);
// Int64 is "I" within 32 bits, else "E" (the extended form holds every 64-bit integer
// exactly); String is "S"; an element reference is "O" with the element's Key, or with
// `noElementKey` when it refers to no element.
bool RecordValue(const ScriptValue& value, const TQXDB& root, int32_t noElementKey, StateRecord& record);

// The records of the whole tree in saving order (root first, pre-order). `withNotSave`: the
// NotSave elements are written too (the runtime menu's save slots keep everything).
std::vector<StateRecord> CollectStateRecords(TQXDB& root, bool withNotSave = false);
// The bytes SaveState writes.
std::string WriteStateData(TQXDB& root);

struct StateApplyReport {
  size_t assigned = 0;  // records the element took
  size_t skipped = 0;   // no such element, a NotSave element, or a name it does not take
  std::vector<int32_t> unknownKeys;  // Keys no element of the tree has, each once, in file order
};
// Assigns the records to the tree by Key and name (the guessing search of LoadState).
// `withNotSave`: NotSave elements take their records too (a save slot being loaded).
StateApplyReport ApplyStateRecords(TQXDB& root, const std::vector<StateRecord>& records, bool withNotSave = false);

}  // namespace qx
