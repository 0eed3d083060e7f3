// The arbitrary-data traffic of a host: it owns the parameter's values as
// handles and has the effect make, copy, save, load, compare, blend, print
// and dispose them through the arbitrary-data callback command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simhost/host.h"

namespace simhost {

class ArbClient {
public:
    // The refcon the grid parameter is declared with.
    static void* grid_refcon() { return reinterpret_cast<void*>(uintptr_t(0xdeadbeef)); }

    // Sends the refcon and id the effect declared for its arbitrary-data
    // parameter once it has declared one, grid_refcon() and 1234 before.
    explicit ArbClient(Host& host) : host_(host) {}
    ArbClient(Host& host, void* refcon) : host_(host), refcon_(refcon), refcon_set_(true) {}
    // From now on every call sends this refcon, declared or not.
    void set_refcon(void* refcon) {
        refcon_ = refcon;
        refcon_set_ = true;
    }

    // A command's result and the handle it handed back in its out-argument
    // (owned by the host from then on, also after a failure).
    struct Made {
        CallResult call;
        PF_Handle handle = nullptr;
    };

    Made make_new();
    CallResult dispose(PF_Handle h);
    Made copy(PF_Handle source);
    CallResult flat_size(PF_Handle h, A_u_long* size);
    CallResult flatten(PF_Handle h, void* buffer, A_u_long size);
    Made unflatten(const void* bytes, A_u_long size);
    Made interpolate(PF_Handle left, PF_Handle right, double t);
    CallResult compare(PF_Handle a, PF_Handle b, PF_ArbCompareResult* result);
    CallResult print_size(A_u_long* size);
    CallResult print(char* buffer, A_u_long size);
    // Any selector with an otherwise empty argument block.
    CallResult bare(PF_FunctionSelector selector);

    // A project save: FLAT_SIZE, then FLATTEN into a buffer of exactly that
    // size. Throws SimhostError with the code or message on failure.
    std::vector<uint8_t> save(PF_Handle h);
    // A project load of the saved grid `bytes` read from `path`: the handle
    // the effect made of them. A grid the effect did not load fails, with
    // SimhostError naming the file: a code, or a message, which comes with
    // code 0 and a handle holding some other grid (the default, in place of
    // a form the effect no longer reads).
    PF_Handle load(const std::string& path, const std::vector<uint8_t>& bytes);

private:
    CallResult run(PF_ArbParamsExtra& extra);
    void adopt(PF_Handle h);
    // The declared parameter's definition, if there is one.
    const PF_ParamDef* declared() const;
    void* refcon() const;

    Host& host_;
    void* refcon_ = grid_refcon();
    bool refcon_set_ = false;
};

}  // namespace simhost
