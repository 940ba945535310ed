/* Code of the resource-only modules the configuration tests load as data files. */
int dossiq_resource_module_marker = 1;
