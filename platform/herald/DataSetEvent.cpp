#include "platform/herald/DataSetEvent.h"

#include <stdexcept>

#include "platform/herald/WireFormat.h"
#include "platform/talis/ByteArray.h"

namespace Corvane::Herald {

void DataSetEvent::SetContent(const TalisFramework::ByteArray& bytes) {
  fileContent = false;
  content.assign(bytes.begin(), bytes.end());
  contentFile.clear();
  contentFileOwner = false;
}

void DataSetEvent::SetContent(const std::string& fileName, bool owner) {
  fileContent = true;
  content.clear();
  contentFile = fileName;
  contentFileOwner = owner;
}

void DataSetEvent::EncodeBody(CosNotification::StructuredEvent& out) const {
  EncodeLocation(out);
  WireFormat::AddString(out, "DataSetName", dataSetName);
  if (fileContent) {
    WireFormat::AddString(out, "ContentFile", contentFile);
    WireFormat::AddBoolean(out, "ContentFileOwner", contentFileOwner);
  }
  CORBA::OctetSeq bytes;
  bytes.length(static_cast<CORBA::ULong>(content.size()));
  for (CORBA::ULong i = 0; i < bytes.length(); ++i) {
    bytes[i] = content[i];
  }
  out.remainder_of_body <<= bytes;
}

void DataSetEvent::DecodeBody(const CosNotification::StructuredEvent& in) {
  DecodeLocation(in);
  WireFormat::ReadString(in, "DataSetName", dataSetName);
  fileContent = WireFormat::ReadString(in, "ContentFile", contentFile);
  WireFormat::ReadBoolean(in, "ContentFileOwner", contentFileOwner);
  content.clear();
  const CORBA::OctetSeq* bytes = nullptr;
  if (in.remainder_of_body >>= bytes) {
    content.assign(bytes->get_buffer(), bytes->get_buffer() + bytes->length());
  } else {
    CORBA::TypeCode_var type = in.remainder_of_body.type();
    if (type->kind() != CORBA::tk_null) {
      throw std::runtime_error("data set body does not hold an octet sequence");
    }
  }
}

}  // namespace Corvane::Herald
