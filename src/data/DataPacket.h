// Data sets as XML data packets: a DATAPACKET element with the field list
// (METADATA) and one ROW element per record (ROWDATA), each value an
// attribute named after its field in upper case, as report templates read
// packets by upper-case field names. Null values are left out.
#pragma once

#include <ZorCompCore/data/DataSet.h>

namespace zor {

// The packet of all records of an open data set (the cursor does not move).
// Values: integers and floats in C notation, Booleans "TRUE"/"FALSE", dates
// "yyyymmdd", times "hh:nn:sszzz", date-times "yyyymmddThh:nn:sszzz",
// blobs Base64.
ZOR_EXPORT QString DataSetToXmlPacket(const TDataSet *ADataSet);

// The packet's name of a field type ("i4", "string", "bin.hex" …).
ZOR_EXPORT QString PacketFieldType(TFieldType AType);

} // namespace zor
