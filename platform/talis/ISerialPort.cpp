#include "platform/talis/ISerialPort.h"

#include <stdexcept>
#include <string>

namespace Corvane::TalisFramework {

namespace {

struct RateCode {
  unsigned long bitsPerSecond;
  ISerialPort::BaudRate code;
};

using B = ISerialPort::BaudRate;
const RateCode kRates[] = {
    {50, B::Baud50},           {75, B::Baud75},           {110, B::Baud110},
    {134, B::Baud134},         {150, B::Baud150},         {200, B::Baud200},
    {300, B::Baud300},         {600, B::Baud600},         {1200, B::Baud1200},
    {1800, B::Baud1800},       {2400, B::Baud2400},       {4800, B::Baud4800},
    {9600, B::Baud9600},       {19200, B::Baud19200},     {38400, B::Baud38400},
    {57600, B::Baud57600},     {115200, B::Baud115200},   {230400, B::Baud230400},
    {460800, B::Baud460800},   {500000, B::Baud500000},   {576000, B::Baud576000},
    {921600, B::Baud921600},   {1000000, B::Baud1000000}, {1152000, B::Baud1152000},
    {1500000, B::Baud1500000}, {2000000, B::Baud2000000}, {2500000, B::Baud2500000},
    {3000000, B::Baud3000000}, {3500000, B::Baud3500000}, {4000000, B::Baud4000000},
};

}  // namespace

ISerialPort::~ISerialPort() = default;

ISerialPort::BaudRate ISerialPort::NumToBaudRate(unsigned long bitsPerSecond) {
  for (const RateCode& rate : kRates) {
    if (rate.bitsPerSecond == bitsPerSecond) {
      return rate.code;
    }
  }
  throw std::invalid_argument("unsupported baud rate " + std::to_string(bitsPerSecond));
}

unsigned long ISerialPort::BaudRateToNum(BaudRate code) {
  for (const RateCode& rate : kRates) {
    if (rate.code == code) {
      return rate.bitsPerSecond;
    }
  }
  return 0;
}

}  // namespace Corvane::TalisFramework
