#pragma once

#include <string>
#include <vector>

#include "platform/herald/LocatedEventBase.h"

namespace Corvane::TalisFramework {
class ByteArray;
}

namespace Corvane::Herald {

// A data set: literal bytes, or the name of a file holding them. For a file only its
// name and owner flag travel; nothing here reads, moves or deletes the file.
// Wire form: GeneratorAddress, Latitude, Longitude, DataSetName, and for file content
// ContentFile (string) and ContentFileOwner (boolean); the remainder of the body is
// always a sequence<octet> (empty for file content).
class DataSetEvent : public LocatedEventBase {
 public:
  DataSetEvent(const EventSettings& eventSettings, TalisFramework::IObjectBroker& eventBroker)
      : LocatedEventBase(eventSettings, eventBroker) {}
  explicit DataSetEvent(TalisFramework::IObjectBroker& eventBroker)
      : LocatedEventBase(eventBroker) {}

  void SetDataSetName(const std::string& name) { dataSetName = name; }
  // Literal content: a copy of the bytes; forgets any file.
  void SetContent(const TalisFramework::ByteArray& bytes);
  // File content: the file's name and whether the receiver owns it; forgets any bytes.
  void SetContent(const std::string& fileName, bool owner);

  const std::string& GetDataSetName() const { return dataSetName; }
  bool IsFileContent() const { return fileContent; }
  const std::vector<unsigned char>& GetContent() const { return content; }
  const std::string& GetContentFile() const { return contentFile; }
  bool GetContentFileOwner() const { return contentFileOwner; }

 protected:
  const char* ClassLabel() const override { return "DataSetEvent"; }
  void EncodeBody(CosNotification::StructuredEvent& out) const override;
  void DecodeBody(const CosNotification::StructuredEvent& in) override;

 private:
  std::string dataSetName;
  bool fileContent = false;
  std::vector<unsigned char> content;
  std::string contentFile;
  bool contentFileOwner = false;
};

}  // namespace Corvane::Herald
