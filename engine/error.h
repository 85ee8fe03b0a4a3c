// The engine's one error type and its numbers. Numbers follow DAO's trappable
// errors where a counterpart exists and are never renumbered; the Spanish texts
// live in error.cpp, and SQLite result codes are mapped to numbers there only.
#pragma once

#include <stdexcept>
#include <string>

namespace brenquil {

namespace err {
// Window and control errors (the Basic runtime's numbers).
inline constexpr int kInvalidProcedureCall = 5;     // argument out of range
inline constexpr int kFileMissing = 53;             // file not found (file system)
inline constexpr int kFileAlreadyExists = 58;       // target file exists
inline constexpr int kFileAccess = 75;              // file system refused the access
inline constexpr int kPathNotFound = 76;            // folder does not exist
inline constexpr int kInvalidValue = 380;           // property value out of range
inline constexpr int kObjectNotSet = 91;            // data control without record set
inline constexpr int kNoSuchControl = 340;          // control array element absent
inline constexpr int kInvalidPropertyIndex = 381;   // list index outside the list
// Engine errors (DAO's numbers).
inline constexpr int kTableExists = 3010;           // a table of that name exists
inline constexpr int kObjectNotFound = 3011;        // table or query named does not exist
inline constexpr int kObjectExists = 3012;          // relation or query of that name exists
inline constexpr int kNoCurrentRecord = 3021;       // record set has no current row
inline constexpr int kDuplicateValue = 3022;        // unique index or primary key violated
inline constexpr int kFileNotFound = 3024;          // database file missing
inline constexpr int kReadOnly = 3027;              // database or object is read-only
inline constexpr int kNotValidPassword = 3031;      // the file is encrypted or protected by a password
inline constexpr int kInvalidName = 3125;           // not a valid name
inline constexpr int kInvalidSql = 3129;            // statement the engine cannot run
inline constexpr int kInputNotFound = 3078;         // record source names no table or query
inline constexpr int kDatabaseExists = 3204;        // CreateDatabase on a path that exists
inline constexpr int kInRelationship = 3303;        // table or field used by a relation
inline constexpr int kValidationRule = 3317;        // a CHECK constraint refused the row
inline constexpr int kRelationNoFields = 3366;      // relation without field pairs
inline constexpr int kDiskError = 3043;             // the file system failed
inline constexpr int kFileInUse = 3045;             // file locked by another process
inline constexpr int kCannotOpen = 3049;            // damaged or truncated database
inline constexpr int kUpdateWithoutAddNew = 3020;   // Update without AddNew
inline constexpr int kFieldExists = 3191;           // field defined more than once
inline constexpr int kRelatedRecords = 3200;        // row referenced by a related table
inline constexpr int kRelatedRecordRequired = 3201; // child row without its parent
inline constexpr int kLocked = 3218;                // change refused: file locked
inline constexpr int kInvalidOperation = 3219;      // operation not valid for the object
inline constexpr int kInvalidFieldType = 3259;      // type code DAO does not define
inline constexpr int kItemNotFound = 3265;          // name or position not in collection
inline constexpr int kNoFields = 3264;              // table or index without fields
inline constexpr int kFieldInIndex = 3280;          // field needed by an index
inline constexpr int kPrimaryKeyExists = 3283;      // table has a primary key already
inline constexpr int kIndexExists = 3284;           // index of that name on that table
inline constexpr int kZeroLength = 3315;            // zero-length text not allowed
inline constexpr int kRequired = 3314;              // required field left empty
inline constexpr int kUnrecognisedFormat = 3343;    // file is not a database
inline constexpr int kConversion = 3421;            // text that is not a number
inline constexpr int kEngine = 3000;                // any other engine failure
}  // namespace err

// An engine or window failure: a number and a Spanish text that names the
// object and the file. Thrown by the engine and the window's controls; the core
// adds context on the way up, the front ends show it.
class Error : public std::runtime_error {
 public:
  Error(int number, std::string text);
  int Number() const { return number_; }
  const std::string& Text() const { return text_; }

 private:
  int number_;
  std::string text_;
};

// The fixed Spanish description of an error number (without object names);
// "Error de la aplicación" for numbers the table does not know.
const char* ErrorDescription(int number);

// An Error whose text is the description of `number` followed by `detail`.
Error MakeError(int number, const std::string& detail);

// The text of `error` without its number's description: what MakeError was given.
std::string DetailOf(const Error& error);

}  // namespace brenquil
