// model_internal.h -- helpers the reference model's files share: message
// formatting, and the three-valued storage-form reasoning.
#pragma once

#include <string>

#include "model.h"

namespace model {

// Whether a rule's condition holds when a form may be unknown.
enum class Tri { no, yes, maybe };

std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string show_double(double d);

// The stored length is 0 or negative (empty, or bytes).
Tri stored_nonpositive(const Value &s);
// The form of a result that is bytes when `bytes_rule` holds and every
// element is a byte, handles otherwise.
Form form_of(Tri bytes_rule, bool all_bytes);

}  // namespace model
