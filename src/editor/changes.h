#pragma once
#include "platform/clock.h"
#include "platform/text.h"

// The audit stamp: year-MM-DD H:M:S (month and day two digits, the rest without padding).
Text auditStamp(const LocalTime& t);

// The UPDATE of the shown record from the detail controls, every value escaped.
Text updateStatement();
// Each change action sends nothing and says "未选择记录" while no record is shown (empty key),
// and tells the operator when the server refused its statement.
void updateRecord();
void stampAudit();
void deleteRecord();
