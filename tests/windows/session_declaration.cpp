#include "tests/windows/session_declaration.h"

using ViconDigitalDevice::IHostResult;

namespace declaration_calls {

Text SetPeriod(int64_t period) {
    return Text("SetPeriod(").Int(period).Add(")");
}

Text DeclareSignal(const char* name, int32_t value1, int32_t value2, int32_t value3, int32_t value4,
                   bool flag) {
    Text line("DeclareSignal(");
    line.Quoted(name).Add(", ").Int(value1).Add(", ").Int(value2).Add(", ").Int(value3);
    return line.Add(", ").Int(value4).Add(", ").Bool(flag).Add(")");
}

Text SetOption(int32_t option) {
    return Text("SetOption(").Int(option).Add(")");
}

Text SetValueCount(int32_t count) {
    return Text("SetValueCount(").Int(count).Add(")");
}

}  // namespace declaration_calls

IHostResult SessionDeclaration::SetPeriod(int64_t period) {
    calls_.Add(declaration_calls::SetPeriod(period));
    return Success();
}

IHostResult SessionDeclaration::DeclareSignal(const char* name, int32_t value1, int32_t value2,
                                              int32_t value3, int32_t value4, bool flag) {
    calls_.Add(declaration_calls::DeclareSignal(name, value1, value2, value3, value4, flag));
    return Success();
}

void SessionDeclaration::SetOption(int32_t option) {
    calls_.Add(declaration_calls::SetOption(option));
}

IHostResult SessionDeclaration::SetValueCount(int32_t count) {
    calls_.Add(declaration_calls::SetValueCount(count));
    return Success();
}
