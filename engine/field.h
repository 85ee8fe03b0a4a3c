// A Field is one column of a table, one key field of an index or one field pair
// of a relation (then ForeignName names the foreign table's field), or one
// column of a record set. Owned by its collection; a field that belongs to a
// stored object is read-only.
#pragma once

#include <string>

#include "engine/number.h"

namespace brenquil {

// DAO's DataTypeEnum codes.
enum DataType : int {
  dbBoolean = 1, dbByte = 2, dbInteger = 3, dbLong = 4, dbCurrency = 5,
  dbSingle = 6, dbDouble = 7, dbDate = 8, dbBinary = 9, dbText = 10,
  dbLongBinary = 11, dbMemo = 12, dbGUID = 15, dbBigInt = 16, dbVarBinary = 17,
  dbChar = 18, dbNumeric = 19, dbDecimal = 20, dbFloat = 21, dbTime = 22,
  dbTimeStamp = 23,
};

// Field attribute flags (DAO's FieldAttributeEnum).
inline constexpr long dbFixedField = 1;
inline constexpr long dbVariableField = 2;
inline constexpr long dbAutoIncrField = 16;

// True for the type codes DAO defines.
bool IsKnownType(int type);
// The size DAO gives a field of `type`: fixed for numbers and dates, `given`
// for Text, Char, Binary and VarBinary (0 means 255), 0 for Memo and LongBinary.
long SizeForType(int type, long given);

class Field {
 public:
  // Throws Error 3421 when type or size is text that is not a number.
  explicit Field(std::string name, Number type = 0, Number size = 0);

  const std::string& Name() const { return name_; }
  int Type() const { return type_; }
  long Size() const { return size_; }
  bool AllowZeroLength() const { return allow_zero_length_; }
  long Attributes() const { return attributes_; }
  bool Required() const { return required_; }
  const std::string& ForeignName() const { return foreign_name_; }
  bool Descending() const { return descending_; }
  // What the table's declaration says of the column: its whole definition as
  // written ("qty INT NOT NULL DEFAULT 0"), the DEFAULT value and the CHECK
  // rule. Empty for a field not read from a file. A field appended with a
  // definition is declared by it.
  const std::string& Definition() const { return definition_; }
  const std::string& DefaultValue() const { return default_value_; }
  const std::string& ValidationRule() const { return validation_rule_; }
  void SetDefinition(std::string value);

  // Setters raise Error 3219 once the field is stored.
  void SetAllowZeroLength(bool value);
  void SetAttributes(long value);
  void SetRequired(bool value);
  void SetForeignName(std::string value);
  void SetDescending(bool value);

  // Engine side: marks the field as part of a stored object.
  void MarkStored() { stored_ = true; }
  bool Stored() const { return stored_; }
  // Engine side: sets what storage says, whether stored or not.
  void Load(int type, long size, long attributes, bool allow_zero_length,
            bool required, std::string foreign_name, bool descending = false);
  void LoadDeclaration(std::string definition, std::string default_value, std::string validation_rule);

 private:
  void CheckChangeable() const;

  std::string name_;
  int type_ = 0;
  long size_ = 0;
  long attributes_ = 0;
  bool allow_zero_length_ = false;
  bool required_ = false;
  bool descending_ = false;
  std::string definition_;
  std::string default_value_;
  std::string validation_rule_;
  std::string foreign_name_;
  bool stored_ = false;
};

}  // namespace brenquil
