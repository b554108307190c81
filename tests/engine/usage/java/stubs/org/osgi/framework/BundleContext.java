package org.osgi.framework;

public interface BundleContext {
    Object installBundle(String location);
}
