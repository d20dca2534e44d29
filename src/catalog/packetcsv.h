// Data packets as CSV text, for making packets by hand (tivra-cds) and for test fixtures.
//
// The first line that is not a comment ("#" at the start) is the typed header: one cell per field,
// NAME:TYPE or NAME:TYPE:WIDTH, TYPE being a field type of the XML form ("i1", "i2", "i4", "i8",
// "ui1", "ui2", "ui4", "boolean", "r8", "date", "time", "dateTime", "string", "string.uni") or
// one of "memo", "widememo", "blob". A cell named "@RowState" (no type) gives each row's state.
// Every further line is a row. Cells are separated by ","; a cell between double quotes may hold
// commas, line breaks and doubled quotes. An empty cell without quotes is NULL; "" is an empty
// text. Values use the XML form's notation (dates yyyymmdd, times hh:nn:sszzz, timestamps
// yyyymmddThh:nn:sszzz, booleans TRUE/FALSE, blobs in Base64).
#pragma once

#include "catalog/datapacket.h"

#include <QString>

namespace tivra {

// Throws DataPacketError naming the line of a bad header or value.
DataPacket packetFromCsv(const QString &text);
// The visible and hidden rows alike; the header carries "@RowState" when some row state is not 0.
QString packetToCsv(const DataPacket &packet);

}  // namespace tivra
