#pragma once

#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include <omniORB4/CORBA.h>

namespace Corvane::Herald {

// Signal combiner that runs every handler even when one throws: each exception is
// caught and described ("TYPE 'MESSAGE'") in the returned list, so one failing handler
// stops neither the handlers after it nor later events.
class HandlerErrorCollector {
 public:
  using result_type = std::vector<std::string>;

  template <class SlotIterator>
  result_type operator()(SlotIterator first, SlotIterator last) const {
    result_type failures;
    for (; first != last; ++first) {
      try {
        *first;
      } catch (const std::exception& e) {
        failures.push_back(Describe(typeid(e), e.what()));
      } catch (const CORBA::Exception& e) {
        failures.push_back(Describe(typeid(e), e._name()));
      } catch (...) {
        failures.push_back("unknown exception");
      }
    }
    return failures;
  }

 private:
  static std::string Describe(const std::type_info& type, const char* message) {
    const char* name = type.name();
    return std::string(name[0] == '*' ? name + 1 : name) + " '" + message + "'";
  }
};

}  // namespace Corvane::Herald
