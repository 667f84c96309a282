// Anchor source of the resource libraries: the resources themselves are
// compiled by rcc and registered by their own static initialisers.
namespace norvale_resources {
int ResourceSetAnchor() {
    return 0;
}
}  // namespace norvale_resources
