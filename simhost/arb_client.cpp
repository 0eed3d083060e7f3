#include "simhost/arb_client.h"

#include <cstring>

#include "simhost/simhost_error.h"

namespace simhost {

namespace {
// The parameter's disk id as the effect declares it.
constexpr int32_t kGridParamId = 1234;
}  // namespace

CallResult ArbClient::run(PF_ArbParamsExtra& extra) {
    extra.id = kGridParamId;
    return host_.call(PF_Cmd_ARBITRARY_CALLBACK, nullptr, nullptr, &extra);
}

void ArbClient::adopt(PF_Handle h) {
    if (h != nullptr) host_.handles().set_owner(h, "arbitrary value");
}

ArbClient::Made ArbClient::make_new() {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_NEW_FUNC;
    Made m;
    e.u.new_func_params = {refcon_, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

CallResult ArbClient::dispose(PF_Handle h) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_DISPOSE_FUNC;
    e.u.dispose_func_params = {refcon_, h};
    return run(e);
}

ArbClient::Made ArbClient::copy(PF_Handle source) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_COPY_FUNC;
    Made m;
    e.u.copy_func_params = {refcon_, source, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

CallResult ArbClient::flat_size(PF_Handle h, A_u_long* size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_FLAT_SIZE_FUNC;
    e.u.flat_size_func_params = {refcon_, h, size};
    return run(e);
}

CallResult ArbClient::flatten(PF_Handle h, void* buffer, A_u_long size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_FLATTEN_FUNC;
    e.u.flatten_func_params = {refcon_, h, size, buffer};
    return run(e);
}

ArbClient::Made ArbClient::unflatten(const void* bytes, A_u_long size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_UNFLATTEN_FUNC;
    Made m;
    e.u.unflatten_func_params = {refcon_, size, bytes, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

ArbClient::Made ArbClient::interpolate(PF_Handle left, PF_Handle right, double t) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_INTERP_FUNC;
    Made m;
    e.u.interp_func_params = {refcon_, left, right, t, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

CallResult ArbClient::compare(PF_Handle a, PF_Handle b, PF_ArbCompareResult* result) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_COMPARE_FUNC;
    e.u.compare_func_params = {refcon_, a, b, result};
    return run(e);
}

CallResult ArbClient::print_size(A_u_long* size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_PRINT_SIZE_FUNC;
    e.u.print_size_func_params = {refcon_, nullptr, 0, size};
    return run(e);
}

CallResult ArbClient::print(char* buffer, A_u_long size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_PRINT_FUNC;
    e.u.print_func_params = {refcon_, nullptr, 0, size, buffer};
    return run(e);
}

CallResult ArbClient::bare(PF_FunctionSelector selector) {
    PF_ArbParamsExtra e{};
    e.which_function = selector;
    e.u.new_func_params.refconPV = refcon_;
    return run(e);
}

std::vector<uint8_t> ArbClient::save(PF_Handle h) {
    A_u_long size = 0;
    CallResult r = flat_size(h, &size);
    if (r.err != 0 || !r.message.empty())
        throw SimhostError("FLAT_SIZE failed with error " + std::to_string(r.err) +
                           (r.message.empty() ? "" : ": " + r.message));
    std::vector<uint8_t> bytes(size);
    r = flatten(h, bytes.data(), size);
    if (r.err != 0 || !r.message.empty())
        throw SimhostError("FLATTEN failed with error " + std::to_string(r.err) +
                           (r.message.empty() ? "" : ": " + r.message));
    return bytes;
}

}  // namespace simhost
