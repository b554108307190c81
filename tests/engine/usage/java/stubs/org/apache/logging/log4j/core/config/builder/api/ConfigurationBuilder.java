package org.apache.logging.log4j.core.config.builder.api;

public interface ConfigurationBuilder<T> {
    Object newAppender(String name, String plugin);
}
