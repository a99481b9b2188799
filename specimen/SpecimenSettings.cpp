#include "specimen/SpecimenSettings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>

namespace {

// The system's text for an error number, from the re-entrant strerror_r.
std::string ErrorText(int errorNumber) {
  char buffer[256] = {};
  // The GNU variant may return a static string instead of filling the buffer.
  const char* text = strerror_r(errorNumber, buffer, sizeof buffer);
  return text;
}

// True when a '>' is still to come in `in`; the stream is left where it was.
bool ClosingTagFollows(std::istream& in) {
  const std::istream::pos_type start = in.tellg();
  bool found = false;
  for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
    if (c == '>') {
      found = true;
      break;
    }
  }
  in.clear();
  in.seekg(start);
  return found;
}

}  // namespace

void SpecimenSettings::Save(const std::string& path) const {
  std::ofstream file(path.c_str(), std::ios::out | std::ios::trunc);
  if (!file) {
    throw std::invalid_argument("SpecimenSettings::Save: could not open '" + path +
                                "' for write");
  }
  {
    boost::archive::xml_oarchive archive(file);
    const SpecimenSettings& rootlevel = *this;
    archive << BOOST_SERIALIZATION_NVP(rootlevel);
  }
  file.close();
}

void SpecimenSettings::Load(const std::string& path) {
  struct stat status = {};
  if (::stat(path.c_str(), &status) != 0) {
    const int errorNumber = errno;
    throw std::invalid_argument("SpecimenSettings::Load: could not stat '" + path + "'" +
                                " (errno=" + std::to_string(errorNumber) + " '" +
                                ErrorText(errorNumber) + "')");
  }
  if (status.st_size == 0) {
    SpecimenSettings().Save(path);
  }
  std::ifstream file(path.c_str());
  if (!file) {
    throw std::invalid_argument("SpecimenSettings::Load: could not open '" + path +
                                "' for read");
  }
  boost::archive::xml_iarchive archive(file);
  SpecimenSettings& rootlevel = *this;
  archive >> BOOST_SERIALIZATION_NVP(rootlevel);
  // The archive reads the envelope's closing tag in its destructor and throws there when
  // the file ends before a '>', which ends the process: refuse such a file while the
  // archive can still be left by an exception.
  if (!ClosingTagFollows(file)) {
    throw boost::archive::archive_exception(boost::archive::archive_exception::input_stream_error);
  }
}
