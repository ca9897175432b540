#pragma once
// This edition's fixed content, generated at build time from the authoring file.
// Only packed records and substitution tables are held: no answer or code in plain form.
#include "engine/records.h"
#include "engine/substitution.h"

#include <QString>

#include <array>
#include <span>

namespace edition {

QString title();       // "Dorlo Zidoduder 04"
QString siteName();    // caption of the site label
QString siteAddress(); // opened by the site label

// The captions of the hidden record labels, slots 0 to 33.
std::array<QString, engine::kRecordSlots> packedCaptions();

const engine::TableSet& tables();

// The 33 tables as fixed data (variant 1 of every question, 2 of 3 and 22, 3 of 22).
std::span<const engine::SubstTableData> tableData();

} // namespace edition
