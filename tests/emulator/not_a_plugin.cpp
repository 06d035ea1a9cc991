// A loadable module that is not a device plug-in: it has one export of its
// own and none of the host entry points.
extern "C" __attribute__((visibility("default"))) int NotAPluginAnswer() {
    return 42;
}
