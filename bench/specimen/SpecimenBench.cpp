// Calls per second and latency percentiles of the driver against a bare server, from one
// client over the same loopback transport, alternating the targets in rounds so that
// both see the same machine load.
// Usage: specimen_bench DRIVER BARE [SECONDS_PER_ROUND] [ROUNDS]
//   DRIVER and BARE are corbaloc/IOR references of the driver and the bare server.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <omniORB4/CORBA.h>

#include "specimen/idl/Talis.hh"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
  std::vector<double> latenciesUs;
  double seconds = 0;
};

void Measure(const std::function<void()>& call, double seconds, Figures& figures) {
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  for (auto now = start; now < end;) {
    call();
    const auto after = Clock::now();
    figures.latenciesUs.push_back(std::chrono::duration<double, std::micro>(after - now).count());
    now = after;
  }
  figures.seconds += std::chrono::duration<double>(Clock::now() - start).count();
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

double Rate(const Figures& figures) {
  return static_cast<double>(figures.latenciesUs.size()) / figures.seconds;
}

void Report(const char* name, const Figures& figures) {
  std::printf("%-28s %9.0f calls/s  p50 %7.1f us  p99 %7.1f us  (%zu calls)\n", name,
              Rate(figures), Percentile(figures.latenciesUs, 0.50),
              Percentile(figures.latenciesUs, 0.99), figures.latenciesUs.size());
}

void SendText(Corvane::Talis::ISpecimen_ptr target, const char* text) {
  CORBA::Any command;
  command <<= text;
  CORBA::Any_var result;
  target->SendCommand(command, "", "", result.out());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: specimen_bench DRIVER BARE [SECONDS_PER_ROUND] [ROUNDS]\n";
    return 2;
  }
  const double seconds = argc > 3 ? std::stod(argv[3]) : 0.2;
  const int rounds = argc > 4 ? std::stoi(argv[4]) : 25;
  const char* options[][2] = {{"endPoint", "giop:tcp:127.0.0.1:"}, {nullptr, nullptr}};
  int orbArgc = 0;
  char* orbArgv[] = {nullptr};
  CORBA::ORB_var orb = CORBA::ORB_init(orbArgc, orbArgv, "omniORB4", options);
  CORBA::Object_var driverObject = orb->string_to_object(argv[1]);
  CORBA::Object_var bareObject = orb->string_to_object(argv[2]);
  // The bare server has another repository id; the operations travel the same way.
  Corvane::Talis::ISpecimen_var driver = Corvane::Talis::ISpecimen::_unchecked_narrow(driverObject);
  Corvane::Talis::ISpecimen_var bare = Corvane::Talis::ISpecimen::_unchecked_narrow(bareObject);
  const char* telem =
      "TELEM BenchTelemetry Telemetry Bench a,double,1.5 b,long,-7 c,bool,true d,string,text "
      "e,ushort,65535";

  Figures drivePing, barePing, driveHello, bareHello, driveTelem;
  for (int warm = 0; warm < 200; ++warm) {
    driver->Ping();
    bare->Ping();
    SendText(driver, "HELLO");
    SendText(bare, "HELLO");
  }
  for (int round = 0; round < rounds; ++round) {
    Measure([&] { bare->Ping(); }, seconds, barePing);
    Measure([&] { driver->Ping(); }, seconds, drivePing);
    Measure([&] { SendText(bare, "HELLO"); }, seconds, bareHello);
    Measure([&] { SendText(driver, "HELLO"); }, seconds, driveHello);
    Measure([&] { SendText(driver, telem); }, seconds, driveTelem);
  }
  Report("bare Ping", barePing);
  Report("driver Ping", drivePing);
  Report("bare SendCommand(HELLO)", bareHello);
  Report("driver SendCommand(HELLO)", driveHello);
  Report("driver TELEM, 5 fields", driveTelem);
  std::printf("rate ratio driver/bare: Ping %.2f (target >= 0.9), SendCommand %.2f (target >= 0.7)\n",
              Rate(drivePing) / Rate(barePing), Rate(driveHello) / Rate(bareHello));
  // The median is less sensitive to a loaded machine than the mean behind the rates.
  std::printf("median-latency ratio bare/driver: Ping %.2f, SendCommand %.2f\n",
              Percentile(barePing.latenciesUs, 0.5) / Percentile(drivePing.latenciesUs, 0.5),
              Percentile(bareHello.latenciesUs, 0.5) / Percentile(driveHello.latenciesUs, 0.5));
  orb->destroy();
  return 0;
}
