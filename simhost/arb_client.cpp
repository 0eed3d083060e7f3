#include "simhost/arb_client.h"

#include <cstring>

#include "simhost/host_files.h"
#include "simhost/simhost_error.h"

namespace simhost {

namespace {
// The parameter's disk id as the effect declares it.
constexpr int32_t kGridParamId = 1234;
}  // namespace

const PF_ParamDef* ArbClient::declared() const {
    for (int32_t i = 1; i < host_.params().count(); ++i) {
        const PF_ParamDef& d = host_.params().at(i).def;
        if (d.param_type == PF_Param_ARBITRARY_DATA) return &d;
    }
    return nullptr;
}

void* ArbClient::refcon() const {
    if (refcon_set_) return refcon_;
    const PF_ParamDef* d = declared();
    return d != nullptr ? d->u.arb_d.refconPV : refcon_;
}

CallResult ArbClient::run(PF_ArbParamsExtra& extra) {
    const PF_ParamDef* d = declared();
    extra.id = d != nullptr ? d->u.arb_d.id : kGridParamId;
    // Every argument block starts with the refcon.
    extra.u.new_func_params.refconPV = refcon();
    return host_.call(PF_Cmd_ARBITRARY_CALLBACK, nullptr, nullptr, &extra);
}

void ArbClient::adopt(PF_Handle h) {
    if (h != nullptr) host_.handles().set_owner(h, "arbitrary value");
}

ArbClient::Made ArbClient::make_new() {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_NEW_FUNC;
    Made m;
    e.u.new_func_params = {nullptr, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

CallResult ArbClient::dispose(PF_Handle h) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_DISPOSE_FUNC;
    e.u.dispose_func_params = {nullptr, h};
    return run(e);
}

ArbClient::Made ArbClient::copy(PF_Handle source) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_COPY_FUNC;
    Made m;
    e.u.copy_func_params = {nullptr, source, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

CallResult ArbClient::flat_size(PF_Handle h, A_u_long* size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_FLAT_SIZE_FUNC;
    e.u.flat_size_func_params = {nullptr, h, size};
    return run(e);
}

CallResult ArbClient::flatten(PF_Handle h, void* buffer, A_u_long size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_FLATTEN_FUNC;
    e.u.flatten_func_params = {nullptr, h, size, buffer};
    return run(e);
}

ArbClient::Made ArbClient::unflatten(const void* bytes, A_u_long size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_UNFLATTEN_FUNC;
    Made m;
    e.u.unflatten_func_params = {nullptr, size, bytes, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

ArbClient::Made ArbClient::interpolate(PF_Handle left, PF_Handle right, double t) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_INTERP_FUNC;
    Made m;
    e.u.interp_func_params = {nullptr, left, right, t, &m.handle};
    m.call = run(e);
    adopt(m.handle);
    return m;
}

CallResult ArbClient::compare(PF_Handle a, PF_Handle b, PF_ArbCompareResult* result) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_COMPARE_FUNC;
    e.u.compare_func_params = {nullptr, a, b, result};
    return run(e);
}

CallResult ArbClient::print_size(A_u_long* size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_PRINT_SIZE_FUNC;
    e.u.print_size_func_params = {nullptr, nullptr, 0, size};
    return run(e);
}

CallResult ArbClient::print(char* buffer, A_u_long size) {
    PF_ArbParamsExtra e{};
    e.which_function = PF_Arbitrary_PRINT_FUNC;
    e.u.print_func_params = {nullptr, nullptr, 0, size, buffer};
    return run(e);
}

CallResult ArbClient::bare(PF_FunctionSelector selector) {
    PF_ArbParamsExtra e{};
    e.which_function = selector;
    return run(e);
}

std::vector<uint8_t> ArbClient::save(PF_Handle h) {
    A_u_long size = 0;
    CallResult r = flat_size(h, &size);
    if (r.err != 0 || !r.message.empty())
        throw SimhostError(failure("FLAT_SIZE", r.err, r.message));
    std::vector<uint8_t> bytes(size);
    r = flatten(h, bytes.data(), size);
    if (r.err != 0 || !r.message.empty())
        throw SimhostError(failure("FLATTEN", r.err, r.message));
    return bytes;
}

PF_Handle ArbClient::load(const std::string& path, const std::vector<uint8_t>& bytes) {
    const Made made = unflatten(bytes.data(), A_u_long(bytes.size()));
    if (made.call.err == 0 && made.call.message.empty()) return made.handle;
    if (made.handle != nullptr) dispose(made.handle);
    // A refusal with a message comes with code 0: the message is the
    // answer, never "error 0".
    if (made.call.err == 0) throw SimhostError(echo(path) + ": the effect refused the grid: " + made.call.message);
    throw SimhostError(failure(echo(path) + ": loading the grid", made.call.err, made.call.message));
}

}  // namespace simhost
