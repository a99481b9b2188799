// librunner: loads a shared library and runs one of its entry points as a program.
//
//   librunner shared-lib-name entry-point [arguments ...]
//
// The entry point is `int entry(int argc, char** argv)` with C linkage. It receives the
// library name as argv[0], the remaining arguments after it and a terminating null
// pointer; its return value becomes the exit status. Every failure is one line on
// standard error and exit status 1.

#include <dlfcn.h>

#include <exception>
#include <iostream>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

using EntryPoint = int (*)(int, char**);

// The type-information name of an exception's dynamic type, without the leading '*'
// some compilers mark local types with.
const char* TypeName(const std::exception& e) {
  const char* name = typeid(e).name();
  return name[0] == '*' ? name + 1 : name;
}

// The library name first, then every argument after the entry-point name, then null.
std::vector<char*> EntryArguments(int argc, char** argv) {
  std::vector<char*> arguments;
  arguments.push_back(argv[1]);
  for (int i = 3; i < argc; ++i) {
    arguments.push_back(argv[i]);
  }
  arguments.push_back(nullptr);
  return arguments;
}

// Runs the entry point and turns an escaping exception into one line and status 1.
// The exception object is gone when this returns, so the caller may then unload the
// library that may hold its type's code.
int CallEntry(EntryPoint entry, std::vector<char*>& arguments, const std::string& caller) {
  try {
    return entry(static_cast<int>(arguments.size() - 1), arguments.data());
  } catch (const std::exception& e) {
    std::cerr << caller << " caught " << TypeName(e) << ": " << e.what() << std::endl;
  } catch (...) {
    std::cerr << caller << " caught unknown exception" << std::endl;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A process may be started with an empty argument vector.
  const std::string program = argc > 0 ? argv[0] : "librunner";
  if (argc < 3) {
    std::cerr << "Usage: " << program << " shared-lib-name entry-point {...args...}" << std::endl;
    return 1;
  }
  const char* libraryName = argv[1];
  const char* entryName = argv[2];
  std::vector<char*> arguments = EntryArguments(argc, argv);

  void* library = dlopen(libraryName, RTLD_NOW | RTLD_GLOBAL);
  if (const char* error = dlerror()) {
    std::cerr << program << ": " << error << std::endl;
    return 1;
  }
  if (library == nullptr) {
    std::cerr << program << ": could not open library " << libraryName << std::endl;
    return 1;
  }

  void* symbol = dlsym(library, entryName);
  if (const char* error = dlerror()) {
    std::cerr << program << ": " << error << std::endl;
    dlclose(library);
    return 1;
  }
  if (symbol == nullptr) {
    std::cerr << program << ": no function entry point '" << entryName << "'" << std::endl;
    dlclose(library);
    return 1;
  }

  const std::string caller = program + "(" + libraryName + "," + entryName + ")";
  const int status = CallEntry(reinterpret_cast<EntryPoint>(symbol), arguments, caller);
  dlclose(library);
  return status;
}
