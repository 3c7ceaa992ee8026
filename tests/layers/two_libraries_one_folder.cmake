# Run with cmake -P: claims one folder for two libraries, which must be refused.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/VelluminLayer.cmake)
vellumin_claim_folder(vellumin_ata ata)
vellumin_claim_folder(vellumin_ata ata)
vellumin_claim_folder(vellumin_transport ata)
