// Without the C run-time, the few functions the compiler itself may call for copies and
// fills (the stub is built without the loop pattern recognition that would make these loops
// call themselves).
#include <cstddef>

extern "C" {

void* memcpy(void* out, const void* in, size_t size) {
  auto* o = static_cast<unsigned char*>(out);
  const auto* i = static_cast<const unsigned char*>(in);
  while (size-- > 0) *o++ = *i++;
  return out;
}

void* memmove(void* out, const void* in, size_t size) {
  auto* o = static_cast<unsigned char*>(out);
  const auto* i = static_cast<const unsigned char*>(in);
  if (o < i) {
    while (size-- > 0) *o++ = *i++;
  } else {
    while (size-- > 0) o[size] = i[size];
  }
  return out;
}

void* memset(void* out, int value, size_t size) {
  auto* o = static_cast<unsigned char*>(out);
  while (size-- > 0) *o++ = static_cast<unsigned char>(value);
  return out;
}

}  // extern "C"
