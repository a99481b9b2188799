#pragma once

#include <string>

#include <boost/serialization/level.hpp>
#include <boost/serialization/nvp.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/tracking.hpp>
#include <boost/serialization/version.hpp>
#include <omniORB4/CORBA.h>

namespace Corvane::TalisFramework {

// What a payload device says about itself: its board and task numbers (8 bits each),
// a description, its stringified reference and a name for people. A plain record
// (defaults: zeros and empty texts); copy and assignment are member-wise.
class PayloadDescription {
 public:
  PayloadDescription() = default;

  // The description text as a new CORBA string; the caller owns it (CORBA::string_free,
  // or hold it in a CORBA::String_var).
  char* GetEntity() const;

  unsigned char boardID = 0;
  unsigned char taskID = 0;
  std::string description;
  std::string ior;
  std::string readableName;

  // Elements boardID, taskID (decimal numbers), description, ior, readableName. The two
  // ids are read as 16-bit numbers and keep their low 8 bits.
  template <class Archive>
  void save(Archive& archive, const unsigned int /*version*/) const {
    const unsigned short board = boardID;
    const unsigned short task = taskID;
    archive << boost::serialization::make_nvp("boardID", board);
    archive << boost::serialization::make_nvp("taskID", task);
    archive << boost::serialization::make_nvp("description", description);
    archive << boost::serialization::make_nvp("ior", ior);
    archive << boost::serialization::make_nvp("readableName", readableName);
  }

  template <class Archive>
  void load(Archive& archive, const unsigned int /*version*/) {
    unsigned short board = 0;
    unsigned short task = 0;
    archive >> boost::serialization::make_nvp("boardID", board);
    archive >> boost::serialization::make_nvp("taskID", task);
    archive >> boost::serialization::make_nvp("description", description);
    archive >> boost::serialization::make_nvp("ior", ior);
    archive >> boost::serialization::make_nvp("readableName", readableName);
    boardID = static_cast<unsigned char>(board);
    taskID = static_cast<unsigned char>(task);
  }

  BOOST_SERIALIZATION_SPLIT_MEMBER()
};

}  // namespace Corvane::TalisFramework

BOOST_CLASS_IMPLEMENTATION(Corvane::TalisFramework::PayloadDescription,
                           boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(Corvane::TalisFramework::PayloadDescription, boost::serialization::track_never)
BOOST_CLASS_VERSION(Corvane::TalisFramework::PayloadDescription, 0)
